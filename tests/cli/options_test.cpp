// tavrin-convert's command line: options, defaults and the output paths.

#include "cli/options.h"

#include <gtest/gtest.h>

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
  // Files that do not exist yet compare by their full paths.
  EXPECT_TRUE(IsSameFile("/no-such-folder/new.json", "/no-such-folder/sub/../new.json"));
  EXPECT_FALSE(IsSameFile("/no-such-folder/new.json", "/no-such-folder/new.xml"));
}

}  // namespace
}  // namespace tavrin
