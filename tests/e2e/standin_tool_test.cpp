// The end-to-end tests trust the stand-in import tool's verdicts, so it must accept sound
// documents and refuse damaged ones for the right reason.

#include <gtest/gtest.h>

#include <string>

#include "e2e/e2e_support.h"
#include "fakes/temp_dir.h"

namespace tavrin::e2e {
namespace {

std::string Replaced(std::string document, std::string_view from, std::string_view to) {
  return document.replace(document.find(from), from.size(), to);
}

TEST(StandinTool, JudgesCheckValuesAndMacs) {
  testing::TempDir temp;
  const SampleHost host(temp.Path());
  const std::string xml = GoldenDocument("mgdl.xml");
  const std::string json = GoldenDocument("entries_and_gaps.json");
  struct Case {
    const char* kind;
    std::string document;
    // What the MAC is taken over; empty for the document itself, so that a damaged
    // document comes with a MAC that fits it.
    std::string macOver;
    const char* verdict;
  };
  const Case cases[] = {
      {"xml", xml, "", "yes yes yes 0"},
      {"json", json, "", "yes yes yes 0"},
      {"xml", Replaced(xml, "Val=\"132\"", "Val=\"133\""), "", "no yes yes 10"},
      {"json", Replaced(json, "102", "109"), "", "no yes yes 10"},
      {"xml", xml, "something else", "yes no yes 10"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.document);
    const fs::path file = host.root / (std::string("document.") + c.kind);
    WriteFile(file, c.document);
    const std::string mac = SampleHostMac(c.macOver.empty() ? c.document : c.macOver);
    host.Run({host.importTool.string(), "import", "-filepath", file.string(), "-filemac", mac}, "",
             {}, host.importTool.parent_path());
    const Received entry = host.ReceivedLog().back();
    EXPECT_EQ(entry.at("kind"), c.kind);
    EXPECT_EQ(Verdict(entry), c.verdict);
  }
  // A path that arrives in two arguments is not joined again.
  host.Run({host.importTool.string(), "import", "-filepath", "a", "b.xml", "-filemac", "m"});
  EXPECT_EQ(host.ReceivedLog().back().at("unexpected") + host.ReceivedLog().back().at("exit"),
            "b.xml1");
}

}  // namespace
}  // namespace tavrin::e2e
