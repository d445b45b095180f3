// The import pipeline's request fields that tell the plug-in's run from the converter's:
// where a run stops, what it has written and asked by then, for exports without rows,
// dates of mixed orders and paths the import tool cannot carry.

#include "app/import_pipeline.h"

#include <gtest/gtest.h>

#include "app/app_fixture.h"
#include "app/import_run.h"
#include "platform/temp_files.h"

namespace tavrin {
namespace {

using testing::ReadFile;

constexpr const char* kRecordKey = "TavrinPlugin\\TempFilesToBeDeleted";

class ImportPipelineTest : public testing::AppFixture {
 protected:
  ImportPipelineTest() {
    const std::string sample = ReadFile(TAVRIN_SOURCE_DIR "/examples/sample-export.csv");
    header_ = sample.substr(0, sample.find('\n') + 1);
    const std::size_t rowEnd = sample.find('\n', header_.size());
    row_ = sample.substr(header_.size(), rowEnd + 1 - header_.size());  // dated 09.11.2026
  }
  std::string Row(const std::string& date) const { return date + row_.substr(10); }
  std::string Export(const std::string& rows) {
    const std::string path = dir.File("export.csv");
    testing::WriteFile(path, header_ + rows);
    return path;
  }
  // The converter's kind of request, for the files named beside the export.
  ImportRequest Named(const std::string& exportPath) {
    ImportRequest request;
    request.exportPath = exportPath;
    request.serialNumber = "SN1";
    request.withoutRows = ExportWithoutRows::kConverted;
    request.target = DocumentTarget::kNamedFiles;
    request.pathCheck = ToolPathCheck::kAtHandOver;
    request.xmlPath = dir.File("out.xml");
    request.jsonPath = dir.File("out.json");
    return request;
  }
  std::string Recorded(const std::string& name) { return platform.userValues[{kRecordKey, name}]; }
  std::string header_, row_;
};

TEST_F(ImportPipelineTest, WhereEachKindOfRequestStops) {
  ASSERT_TRUE(Load());
  platform.regional = RegionalSettings::EnglishUS();
  const std::string mixed = Row("09.11.2026") + Row("13.11.2026") + Row("11.13.2026");
  const std::string withBlank = dir.File("with blank.xml");
  const struct {
    const char* name;
    std::string rows;
    std::function<void(ImportRequest&)> change;  // of the plug-in's request, or null
    ImportFailure failure;
    ImportStage stage;
    std::size_t questions;  // messages shown by the run
    std::string written;    // a file that must exist afterwards, or ""
  } kCases[] = {
      {"plug-in: no rows, refused before anything", "", nullptr, ImportFailure::kNoRows,
       ImportStage::kVet, 0, ""},
      {"plug-in: mixed orders, the question cancelled", mixed, nullptr, ImportFailure::kCancelled,
       ImportStage::kVet, 1, ""},
      {"converter: no rows, converted and reported", "",
       [&](ImportRequest& r) {
         r = Named(r.exportPath);
         r.report = true;
         r.reportPath = dir.File("r.html");
       },
       ImportFailure::kNothingConverted, ImportStage::kReport, 0, dir.File("r.html")},
      {"converter: mixed orders, not asked", mixed,
       [&](ImportRequest& r) { r = Named(r.exportPath); }, ImportFailure::kNone,
       ImportStage::kHandOver, 0, dir.File("out.xml")},
      {"converter: a blank in the path, checked at the hand-over", Row("09.11.2026"),
       [&](ImportRequest& r) {
         r = Named(r.exportPath);
         r.xmlPath = withBlank;
         r.handOverFolder = base;
       },
       ImportFailure::kPathNotForTool, ImportStage::kHandOver, 0, withBlank},
      {"converter: a blank in the path, checked before the questions", Row("09.11.2026"),
       [&](ImportRequest& r) {
         r = Named(r.exportPath);
         r.xmlPath = withBlank;
         r.handOverFolder = base;
         r.pathCheck = ToolPathCheck::kBeforeQuestions;
       },
       ImportFailure::kPathNotForTool, ImportStage::kPrepare, 0, ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(FsPath(withBlank));
    ui.messages.clear();
    platform.userValues.clear();
    ImportRequest request = PluginImportRequest(window, Export(c.rows));
    if (c.change) c.change(request);
    const ImportResult result = RunImport(context, request);
    EXPECT_EQ(result.failure, c.failure);
    EXPECT_EQ(result.stage, c.stage);
    EXPECT_EQ(ui.messages.size(), c.questions);
    EXPECT_TRUE(ui.entryDialogs.empty() && ui.autoDialogs.empty() && ui.noPatientDialogs.empty());
    if (!c.written.empty()) {
      EXPECT_TRUE(FileExists(c.written)) << c.written;
    }
    if (c.written != withBlank) {
      EXPECT_FALSE(FileExists(withBlank));
    }
    // Nothing the plug-in records for deletion before its paths are settled.
    if (c.stage == ImportStage::kVet) {
      EXPECT_EQ(Recorded("Anzahl"), "");
    }
  }
}

// A temporary folder whose path the import tool's command line cannot carry (a blank
// where the system has no short form) ends the plug-in's run before any question, with
// the JSON stream's file not yet recorded.
TEST_F(ImportPipelineTest, ATemporaryPathTheToolCannotCarryEndsTheRunBeforeAnyQuestion) {
  const std::string blank = dir.File("tmp q");
  std::filesystem::create_directories(FsPath(blank));
  platform.environment["Temp"] = platform.tempPath = blank;
  ASSERT_TRUE(Load());
  const ImportResult result =
      RunImport(context, PluginImportRequest(window, Export(Row("09.11.2026"))));
  ASSERT_EQ(result.failure, ImportFailure::kError);
  EXPECT_EQ(result.stage, ImportStage::kPrepare);
  EXPECT_EQ(result.error->Number(), 52);
  EXPECT_TRUE(ui.messages.empty() && ui.entryDialogs.empty() && ui.noPatientDialogs.empty());
  EXPECT_EQ(Recorded("Anzahl"), "1");
  EXPECT_TRUE(Traced({"Preparing data for Orvolux"}, true));
}

}  // namespace
}  // namespace tavrin
