// tavrin-convert's command line: options, defaults and the output paths.

#include "cli/options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <tuple>

#include "fakes/temp_dir.h"
#include "platform/file_replace.h"
#include "platform/system_platform.h"
#include "shared/fs.h"

namespace tavrin {
namespace {

// Each command line with its options as "export|output|json|serial|settings|regional|
// handover|quiet help version", or its error.
TEST(ConvertOptionsTest, EveryOptionInEitherFormAndTheDefaultPaths) {
  // clang-format off
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"-o", "out.xml", "--json=out.json", "--serial", "SN 1", "--settings=my.ini", "--regional", "en-gb",
        "x.csv", "--handover", "/opt/host", "-q"}, "x.csv|out.xml|out.json|SN 1|my.ini|2|/opt/host|100"},
      {{"--regional", "DE", "x"}, "x|||unknown||0||000"},
      {{"--regional", "en_US", "x", "--serial="}, "x|||||1||000"},
      {{"-h", "--version"}, "|||unknown||-||011"},
      {{"--", "-odd name.csv"}, "-odd name.csv|||unknown||-||000"},
      {{"--regional", "fr", "x"}, "unknown regional settings 'fr' (expected de, en-us or en-gb)"},
      {{"-q"}, "no export file given"},
      {{"a.csv", "b.csv"}, "more than one export file given ('a.csv' and 'b.csv')"},
      {{"-qh", "a.csv"}, "unknown option '-qh'"},
      {{"a.csv", "--output"}, "option '--output' needs a value"},
      {{"a.csv", "--quiet=yes"}, "option '--quiet' takes no value"},
      // File options refuse empty names, which would silently fall back to a default.
      {{"a.csv", "--handover="}, "option '--handover' needs a non-empty value"},
  };
  // clang-format on
  for (const auto& [arguments, expected] : cases) {
    const ParsedOptions parsed = ParseConvertOptions(arguments);
    const ConvertOptions& o = parsed.options;
    const std::string regional = o.regional ? std::to_string(static_cast<int>(*o.regional)) : "-";
    EXPECT_EQ(!parsed.error.empty() ? parsed.error
                                    : o.exportPath + "|" + o.outputPath + "|" + o.jsonPath + "|" +
                                          o.serial + "|" + o.settingsPath + "|" + regional + "|" +
                                          o.handoverFolder + "|" + std::to_string(o.quiet) +
                                          std::to_string(o.help) + std::to_string(o.version),
              expected);
  }
  // Default output paths replace the extension of the file name.
  ConvertOptions options = ParseConvertOptions({"--json=/x/out.json", "/my.data/.export"}).options;
  FillDefaultOutputPaths(options);
  // Dots in folder names and a leading dot are no extension.
  EXPECT_EQ(
      WithExtension("export.2026.csv", "json") + " " + options.outputPath + " " + options.jsonPath,
      "export.2026.json /my.data/.export.xml /x/out.json");
}

// Names of one file are the same file by the system's identity of the file; a name that
// does not exist yet is the same only as another spelling of itself.
TEST(ConvertOptionsTest, SameFileByItsIdentity) {
  testing::TempDir dir;
  SystemPlatform platform;
  namespace fs = std::filesystem;
  const std::string a = dir.File("a.csv"), sep(1, kPathSep);
  const std::string dot = dir.Path() + sep + "." + sep, up = dir.File("sub") + sep + ".." + sep;
  std::ofstream(FsPath(a)) << "a";
  std::ofstream(FsPath(dir.File("b.csv"))) << "b";
  fs::create_directory(FsPath(dir.File("sub")));
  std::error_code noHardLink, noLink;
  fs::create_hard_link(FsPath(a), FsPath(dir.File("hard.csv")), noHardLink);
  fs::create_symlink(FsPath(a), FsPath(dir.File("link.csv")), noLink);
  const std::tuple<std::string, std::string, bool> cases[] = {
      {a, a, true},
      {a, dot + "a.csv", true},
      {a, up + "a.csv", true},
      {a, noHardLink ? a : dir.File("hard.csv"), true},
      {a, noLink ? a : dir.File("link.csv"), true},
      {a, dir.File("b.csv"), false},
      {dir.File("sub"), up + "sub", true},
      {a, dir.File("new.xml"), false},               // an output that does not exist yet
      {dir.File("new.xml"), dot + "new.xml", true},  // one new output named twice
      {dir.File("new.xml"), up + "new.xml", true},
      {dir.File("new.xml"), dir.File("new.json"), false},
  };
  for (const auto& [first, second, same] : cases) {
    EXPECT_EQ(IsSameFile(platform, first, second), same) << first << " " << second;
  }
}

}  // namespace
}  // namespace tavrin
