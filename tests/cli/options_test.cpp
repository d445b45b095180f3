// tavrin-convert's command line: options, defaults and the output paths.

#include "cli/options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fakes/temp_dir.h"
#include "shared/fs.h"

namespace tavrin {
namespace {

// The options as "export|output|json|serial|settings|regional|handover|quiet help version",
// or the error.
std::string Parsed(const std::vector<std::string>& arguments) {
  const ParsedOptions parsed = ParseConvertOptions(arguments);
  const ConvertOptions& o = parsed.options;
  if (!parsed.error.empty()) return "error: " + parsed.error;
  return o.exportPath + "|" + o.outputPath + "|" + o.jsonPath + "|" + o.serial + "|" +
         o.settingsPath + "|" + (o.regional ? std::to_string(static_cast<int>(*o.regional)) : "-") +
         "|" + o.handoverFolder + "|" + std::to_string(o.quiet) + std::to_string(o.help) +
         std::to_string(o.version);
}

TEST(ConvertOptionsTest, EveryOptionInEitherForm) {
  EXPECT_EQ(Parsed({"-o", "out.xml", "--json=out.json", "--serial", "SN 1", "--settings=my.ini",
                    "--regional", "en-gb", "x.csv", "--handover", "/opt/host", "-q"}),
            "x.csv|out.xml|out.json|SN 1|my.ini|2|/opt/host|100");
  // clang-format off
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"x"}, "x|||unknown||-||000"},
      {{"--regional", "DE", "x"}, "x|||unknown||0||000"},
      {{"--regional", "en_US", "x", "--serial="}, "x|||||1||000"},
      {{"--help"}, "|||unknown||-||010"}, {{"-h"}, "|||unknown||-||010"}, {{"-V"}, "|||unknown||-||001"},
      {{"--", "-odd name.csv"}, "-odd name.csv|||unknown||-||000"},
      {{"--regional", "fr", "x"}, "error: "},
      {{}, "error: no export file"}, {{"-q"}, "error: no export file"},
      {{"a.csv", "b.csv"}, "error: more than one"},
      {{"--frobnicate", "a.csv"}, "error: unknown option"}, {{"-qh", "a.csv"}, "error: unknown option"},
      {{"a.csv", "--output"}, "error: needs a value"}, {{"a.csv", "--quiet=yes"}, "error: takes no value"},
      // File options refuse empty names, which would silently fall back to a default.
      {{"a.csv", "-o", ""}, "error: non-empty"}, {{"a.csv", "--handover="}, "error: non-empty"},
  };
  // clang-format on
  for (const auto& [arguments, expected] : cases) {
    const std::string seen = Parsed(arguments);
    if (expected.starts_with("error: ")) {
      EXPECT_TRUE(seen.starts_with("error: ") && seen.find(expected.substr(7)) != std::string::npos)
          << expected << " / " << seen;
    } else {
      EXPECT_EQ(seen, expected);
    }
  }
}

TEST(OutputPathTest, DefaultsReplaceTheExtensionOfTheFileName) {
  // Dots in folder names and a leading dot are no extension.
  EXPECT_EQ(WithExtension("export.2026.csv", "json") + " " + WithExtension("export", "xml") + " " +
                WithExtension("/my.data/export", "xml") + " " +
                WithExtension("/data/.export", "xml"),
            "export.2026.json export.xml /my.data/export.xml /data/.export.xml");
  ConvertOptions options;
  options.exportPath = "/d/e.csv";
  options.jsonPath = "/x/out.json";
  FillDefaultOutputPaths(options);
  EXPECT_EQ(options.outputPath + " " + options.jsonPath, "/d/e.xml /x/out.json");
}

TEST(OutputPathTest, SameFileIsRecognisedThroughOtherSpellings) {
  testing::TempDir dir;
  const std::string file = dir.File("export.xml");
  std::ofstream(FsPath(file)) << "x";
  std::filesystem::create_directory(FsPath(dir.File("sub")));
  std::filesystem::create_symlink(FsPath(file), FsPath(dir.File("link.xml")));
  EXPECT_TRUE(IsSameFile(file, dir.File("sub") + "/../export.xml"));
  EXPECT_TRUE(IsSameFile(file, dir.File("link.xml")));
  EXPECT_FALSE(IsSameFile(file, dir.File("other.xml")));
  // Files that do not exist yet compare by their full paths.
  EXPECT_TRUE(IsSameFile(dir.File("new.json"), dir.File("sub") + "/../new.json"));
}

}  // namespace
}  // namespace tavrin
