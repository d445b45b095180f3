// Settling a serial number through the dialogs, and the store that files patients under
// serial numbers.

#include "handover/serial_numbers.h"

#include <gtest/gtest.h>

#include "handover_fixture.h"

namespace tavrin {
namespace {

using namespace testing;

class SerialNumbersTest : public HandoverTest {
 protected:
  void OpenPatient(const std::string& diaryFileName) {
    // In the folder as the sample host spells it, which the file's path names "_Extras".
    WriteBytes(context.host.baseFolder + "_EXTRAS" + sep + "Kelsar" + sep + "PC1_anna.txt",
               "[currentpatient]\r\ndiary_filename=" + diaryFileName +
                   "\r\nlast_name=Meier\r\nfirst_name=Hans\r\nbirth_date=01.02.1970\r\n"
                   "ext_id=4711\r\n");
  }
  // Settles serial numbers one after another; "serial|dialog result;" for each.
  std::string Resolve(int times) {
    std::string seen;
    while (times-- > 0) {
      const std::string serial = ResolveSerialNumber(context);
      seen += serial + "|" + kAnswers[static_cast<int>(context.dialogResult)] + ";";
    }
    return seen;
  }
  static constexpr const char* kAnswers[] = {"", "Auto", "Manuell", "Cancel"};
  std::string Store() { return ReadBytes(context.paths.ConfigFolder() + "KELSAR Relay.rly"); }
  // The first question's buttons, mode and the patient it names.
  std::string Question() {
    const SerialAutoDialogArgs& dialog = ui.autoDialogs.at(0);
    return dialog.autoButton + "/" + dialog.cancelButton + std::to_string(dialog.yesNoMode) +
           dialog.label.substr(dialog.label.rfind('?'));
  }
};

TEST_F(SerialNumbersTest, KnownPatientGetsAnArtificialSerialOrTypesOne) {
  OpenPatient("meier.hans.1970.dia");  // the patient is the name without its extension
  ui.autoAnswers = {SerialAutoChoice::Auto, SerialAutoChoice::Auto, SerialAutoChoice::Manual,
                    SerialAutoChoice::Cancel};
  ui.entryAnswers = {{true, "SN-0815"}};
  EXPECT_EQ(Resolve(4), "2FBC5646DB|Auto;2FBC5646DB|Auto;SN-0815|Manuell;|Cancel;");
  EXPECT_EQ(Question(),
            "Ja, künstliche Seriennr. erzeugen/&Abbrechen0?\r\n\r\nMeier, Hans 01.02.1970\r\n4711");

  // A patient on the command line wins and is asked yes or no; "No" leads to the manual
  // entry, not to the end of the import.
  context.patientValues = {"Meier", "Hans", "01.02.1970", "4711"};
  ui = FakeUi{};
  ui.autoAnswers = {SerialAutoChoice::Auto, SerialAutoChoice::Cancel, SerialAutoChoice::Cancel};
  ui.entryAnswers = {{true, "X-1"}};
  EXPECT_EQ(Resolve(3), "679CE7DA6E|Auto;X-1|;|Cancel;");
  EXPECT_EQ(Question(), "Ja/Nein1?\r\n\r\nMeier, Hans (4711, *01.02.1970)");
  const SerialEntryDialogArgs& entry = ui.entryDialogs.at(0);
  EXPECT_TRUE(entry.label.ends_with(" Bitte geben Sie die Seriennummer ein."));
  EXPECT_EQ(entry.caption + "|" + entry.okButton + "|" + entry.textBoxLabel,
            "Seriennummer-Eingabe|&Ok|Seriennummer");
  // Each patient keeps one entry.
  EXPECT_EQ(
      Store(),
      "[SNMappings]\r\n2FBC5646DB=meier.hans.1970\r\n679CE7DA6E=cl:meier|hans|01.02.1970|4711\r\n");
  EXPECT_TRUE(OwnerOnly(SerialMappingStorePath(context)));  // patient data
}

TEST_F(SerialNumbersTest, WithoutUsablePatientTheUserChooses) {
  OpenPatient("");  // an empty diary file name goes straight to the manual entry
  // Empty or blank boxes are refused with a word each, and the serial number asked again.
  ui.entryAnswers = {{true, ""}, {true, "   "}, {true, " SN-5 "}};
  EXPECT_EQ(Resolve(1), "SN-5|;");
  EXPECT_TRUE(ui.autoDialogs.empty() && ui.noPatientDialogs.empty());
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[1].text, Languages::BuiltInText(5775));
  ui.messages.clear();

  std::filesystem::remove_all(FsPath(context.host.baseFolder));
  ui.noPatientAnswers = {SerialNoPatientChoice::Manual, SerialNoPatientChoice::Manual,
                         SerialNoPatientChoice::Cancel, SerialNoPatientChoice::OpenPatient};
  // The first entry is typed, the second cancelled.
  ui.entryAnswers = {{true, "X-2"}};
  EXPECT_EQ(Resolve(3), "X-2|Manuell;|Cancel;|Cancel;");
  // Opening the patient in the host ends the run, saying so, and the trace log tells why.
  EXPECT_THROW(ResolveSerialNumber(context), ProgramEnded);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, Languages::BuiltInText(5776));
  EXPECT_NE(ReadBytes(context.trace.FilePath())
                .find(": User chose to open the patient record in Orvolux first.\r\n"),
            std::string::npos);
}

TEST_F(SerialNumbersTest, CollidingSerialMovesToTheNextFreeCandidate) {
  std::string store = "[SNMappings]\r\nAB=other1\r\nAB0=other2\r\n";
  for (int i = 1; i <= 998; ++i) store += "AB-" + std::to_string(i) + "=p\r\n";
  WriteBytes(context.paths.ConfigFolder() + "KELSAR Relay.rly", store);
  EXPECT_EQ(MapSerialToPatient(context, "other2", "AB"), "AB0");
  EXPECT_EQ(MapSerialToPatient(context, "meier", "AB"), "AB-999");  // the last candidate
  EXPECT_EQ(MapSerialToPatient(context, "MEIER", "AB"), "AB-999");
  EXPECT_EQ(Store(), store + "AB-999=meier\r\n");
  EXPECT_THROW(MapSerialToPatient(context, "schulz", "AB"), RuntimeError);
}

}  // namespace
}  // namespace tavrin
