// tavrin-convert's command line: options, defaults and the output paths.

#include "cli/options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fakes/temp_dir.h"
#include "shared/fs.h"

namespace tavrin {
namespace {

ParsedOptions Parse(std::vector<std::string> arguments) {
  return ParseConvertOptions(arguments);
}

TEST(ConvertOptionsTest, EveryOptionIsReadInEitherForm) {
  const ParsedOptions parsed =
      Parse({"-o", "out.xml", "--json=out.json", "--serial", "SN 1", "--settings=my.ini",
             "--regional", "en-gb", "x.csv", "--handover", "/opt/host", "-q"});
  ASSERT_EQ(parsed.error, "");
  const ConvertOptions& o = parsed.options;
  EXPECT_EQ(o.exportPath, "x.csv");
  EXPECT_EQ(o.outputPath, "out.xml");
  EXPECT_EQ(o.jsonPath, "out.json");
  EXPECT_EQ(o.serial, "SN 1");
  EXPECT_EQ(o.settingsPath, "my.ini");
  EXPECT_EQ(o.regional, RegionalChoice::EnglishUK);
  EXPECT_EQ(o.handoverFolder, "/opt/host");
  EXPECT_TRUE(o.quiet);
  EXPECT_EQ(Parse({"x.csv"}).options.serial, "unknown");
}

TEST(ConvertOptionsTest, RegionalNamesIgnoreCaseAndAcceptUnderscores) {
  EXPECT_EQ(Parse({"--regional", "DE", "x"}).options.regional, RegionalChoice::German);
  EXPECT_EQ(Parse({"--regional", "en_US", "x"}).options.regional, RegionalChoice::EnglishUS);
  EXPECT_NE(Parse({"--regional", "fr", "x"}).error, "");
}

TEST(ConvertOptionsTest, HelpVersionAndDoubleDash) {
  EXPECT_TRUE(Parse({"--help"}).options.help);
  EXPECT_TRUE(Parse({"-V"}).options.version);
  EXPECT_EQ(Parse({"-h"}).error, "");
  EXPECT_EQ(Parse({"--", "-odd name.csv"}).options.exportPath, "-odd name.csv");
}

TEST(ConvertOptionsTest, MistakesAreReported) {
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{}, "no export file"},
      {{"-q"}, "no export file"},
      {{"a.csv", "b.csv"}, "more than one"},
      {{"--frobnicate", "a.csv"}, "unknown option"},
      {{"-qh", "a.csv"}, "unknown option"},
      {{"a.csv", "--output"}, "needs a value"},
      {{"a.csv", "--quiet=yes"}, "takes no value"},
      // File options refuse empty names, which would silently fall back to a default.
      {{"a.csv", "-o", ""}, "non-empty"},
      {{"a.csv", "--handover="}, "non-empty"},
  };
  for (const auto& [arguments, error] : cases) {
    EXPECT_NE(Parse(arguments).error.find(error), std::string::npos) << error;
  }
  EXPECT_EQ(Parse({"a.csv", "--serial="}).error, "");
}

TEST(OutputPathTest, DefaultsReplaceTheExtensionOfTheFileName) {
  EXPECT_EQ(WithExtension("export.2026.csv", "json"), "export.2026.json");
  EXPECT_EQ(WithExtension("export", "xml"), "export.xml");
  // Dots in folder names and a leading dot are no extension.
  EXPECT_EQ(WithExtension("/my.data/export", "xml"), "/my.data/export.xml");
  EXPECT_EQ(WithExtension("/data/.export", "xml"), "/data/.export.xml");

  ConvertOptions options;
  options.exportPath = "/d/e.csv";
  options.jsonPath = "/x/out.json";
  FillDefaultOutputPaths(options);
  EXPECT_EQ(options.outputPath, "/d/e.xml");
  EXPECT_EQ(options.jsonPath, "/x/out.json");
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
