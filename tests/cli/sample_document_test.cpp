// The bundled sample export converted at a fixed time gives the same document, check value
// included, on every system the converter is built for.

#include <gtest/gtest.h>

#include <sstream>

#include "cli/convert_run.h"
#include "fakes/fake_platform.h"
#include "fakes/temp_dir.h"
#include "formats/golden_file.h"
#include "platform/system_crypto.h"
#include "shared/fs.h"

namespace tavrin {
namespace {

TEST(SampleDocument, IsTheSameOnEverySystem) {
  testing::TempDir dir;
  SystemCrypto crypto;
  testing::FakePlatform platform;
  platform.crypto = &crypto;
  platform.programPath = dir.File("tavrin-convert");
  const std::string xml = dir.File("sample.xml");
  std::ostringstream out, err;
  const ConvertOptions options =
      ParseConvertOptions(
          {"--serial", "SAMPLE1", "-o", xml, TAVRIN_SOURCE_DIR "/examples/sample-export.csv"})
          .options;
  ASSERT_EQ(RunConverter(options, platform, {out, err, false}), kExitSuccess) << err.str();
  EXPECT_EQ(ReadFileBytes(xml, kMaxDocumentFileBytes).value_or(""),
            testing::GoldenFile("cli/sample-export.xml"));
}

}  // namespace
}  // namespace tavrin
