#include "handover/serial_numbers.h"

#include <gtest/gtest.h>

#include "handover_fixture.h"

namespace tavrin {
namespace {

const std::string kNoSerial =
    "Beim Import von dieser Datenquelle konnte keine Seriennummer ermittelt werden.";

class SerialNumbersTest : public testing::HandoverTest {
 protected:
  void OpenPatient(const std::string& diaryFileName) {
    // In the folder as the sample host spells it, which the file's path names "_Extras".
    WriteFile(context.host.baseFolder + "_EXTRAS" + sep + "Kelsar" + sep + "PC1_anna.txt",
              "[currentpatient]\r\ndiary_filename=" + diaryFileName +
                  "\r\nlast_name=Meier\r\nfirst_name=Hans\r\nbirth_date=01.02.1970\r\n"
                  "ext_id=4711\r\n");
  }
  // Settles a serial number; "serial|dialog result".
  std::string Resolve() { return ResolveSerialNumber(context) + "|" + context.dialogResult; }
  std::string Store() { return ReadFile(context.paths.ConfigFolder() + "KELSAR Relay.rly"); }
};

TEST_F(SerialNumbersTest, OpenPatientGetsAnArtificialSerialOrTypesOne) {
  OpenPatient("meier.hans.1970.dia");  // the patient is the name without its extension
  ui.autoAnswers = {SerialAutoChoice::Auto, SerialAutoChoice::Auto, SerialAutoChoice::Manual,
                    SerialAutoChoice::Cancel};
  ui.entryAnswers = {{true, "SN-0815"}};
  EXPECT_EQ(Resolve(), "2FBC5646DB|Auto");
  EXPECT_EQ(Resolve(), "2FBC5646DB|Auto");  // the same patient keeps one entry
  EXPECT_EQ(Store(), "[SNMappings]\r\n2FBC5646DB=meier.hans.1970\r\n");
  EXPECT_EQ(Resolve(), "SN-0815|Manuell");
  EXPECT_EQ(Resolve(), "|Cancel");
  const SerialAutoDialogArgs& dialog = ui.autoDialogs.at(0);
  EXPECT_EQ(dialog.caption + "|" + dialog.autoButton + "|" + dialog.manualButton + "|" +
                dialog.cancelButton + "|" + std::to_string(dialog.yesNoMode),
            "Seriennummer-Eingabe|Ja, künstliche Seriennr. erzeugen|Seriennr. manuell "
            "eintragen|&Abbrechen|0");
  EXPECT_EQ(dialog.label, kNoSerial +
                              " Soll eine künstliche Seriennummer für den derzeit geöffneten "
                              "Patienten erzeugt werden?\r\n\r\nMeier, Hans 01.02.1970\r\n4711");
  const SerialEntryDialogArgs& entry = ui.entryDialogs.at(0);
  EXPECT_EQ(entry.caption + "|" + entry.okButton + "|" + entry.textBoxLabel,
            "Seriennummer-Eingabe|&Ok|Seriennummer");
  EXPECT_EQ(entry.label,
            kNoSerial +
                " Wenn Ihnen eine Seriennummer vorliegt, geben Sie diese bitte für die "
                "korrekte Zuordnung in der Orvolux-Software ein.");
}

TEST_F(SerialNumbersTest, WithoutUsablePatientTheUserChooses) {
  OpenPatient("");  // an empty diary file name goes straight to the manual entry
  ui.entryAnswers = {{true, ""}, {true, "   "}};  // empty or blank boxes mean "unknown"
  EXPECT_EQ(Resolve(), "unknown|");
  EXPECT_TRUE(ui.autoDialogs.empty() && ui.noPatientDialogs.empty());

  std::filesystem::remove_all(FsPath(context.host.baseFolder));
  ui.noPatientAnswers = {SerialNoPatientChoice::Manual, SerialNoPatientChoice::Manual,
                         SerialNoPatientChoice::Cancel, SerialNoPatientChoice::OpenPatient};
  EXPECT_EQ(Resolve(), "unknown|Manuell");
  EXPECT_EQ(Resolve(), "|Cancel");  // the entry dialog cancelled
  EXPECT_EQ(Resolve(), "|Cancel");
  EXPECT_EQ(ui.entryDialogs.size(), 3u);
  EXPECT_THROW(ResolveSerialNumber(context), ProgramEnded);
  EXPECT_EQ(ui.noPatientDialogs.at(0).openButton, "Patientendatensatz in OX öffnen");
  EXPECT_EQ(ui.noPatientDialogs.at(0).label.substr(0, kNoSerial.size() + 14),
            kNoSerial + " Bitte öffnen");
}

TEST_F(SerialNumbersTest, CommandLinePatientIsAskedYesOrNo) {
  context.patientValues = {"Meier", "Hans", "01.02.1970", "4711"};
  OpenPatient("other.dat");  // the command line wins
  ui.autoAnswers = {SerialAutoChoice::Auto, SerialAutoChoice::Cancel, SerialAutoChoice::Cancel};
  ui.entryAnswers = {{true, "X-1"}};
  EXPECT_EQ(Resolve(), "679CE7DA6E|Auto");
  EXPECT_EQ(Store(), "[SNMappings]\r\n679CE7DA6E=cl:meier|hans|01.02.1970|4711\r\n");
  // "No" leads to the manual entry, not to the end of the import.
  EXPECT_EQ(Resolve(), "X-1|");
  EXPECT_EQ(Resolve(), "|Cancel");
  const SerialAutoDialogArgs& dialog = ui.autoDialogs.at(0);
  EXPECT_EQ(dialog.autoButton + "/" + dialog.cancelButton + std::to_string(dialog.yesNoMode),
            "Ja/Nein1");
  EXPECT_EQ(dialog.label,
            kNoSerial +
                " \r\n\r\nSollen die gerade importierten Daten dem folgenden "
                "Patienten zugewiesen werden?\r\n\r\nMeier, Hans (4711, *01.02.1970)");
  EXPECT_EQ(ui.entryDialogs.at(0).label, kNoSerial + " Bitte geben Sie die Seriennummer ein.");
}

TEST_F(SerialNumbersTest, CollidingSerialMovesToTheNextFreeCandidate) {
  std::string store = "[SNMappings]\r\nAB=other1\r\nAB0=other2\r\n";
  for (int i = 1; i <= 998; ++i) store += "AB-" + std::to_string(i) + "=p\r\n";
  WriteFile(context.paths.ConfigFolder() + "KELSAR Relay.rly", store);
  EXPECT_EQ(MapSerialToPatient(context, "other2", "AB"), "AB0");
  EXPECT_EQ(MapSerialToPatient(context, "meier", "AB"), "AB-999");  // the last candidate
  EXPECT_EQ(MapSerialToPatient(context, "MEIER", "AB"), "AB-999");
  EXPECT_EQ(Store(), store + "AB-999=meier\r\n");
  EXPECT_THROW(MapSerialToPatient(context, "schulz", "AB"), RuntimeError);
  EXPECT_EQ(Store().find("schulz"), std::string::npos);
}

}  // namespace
}  // namespace tavrin
