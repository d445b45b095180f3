#include "handover/serial_numbers.h"

#include <gtest/gtest.h>

#include "handover_fixture.h"
#include "shared/error.h"

namespace tavrin {
namespace {

const std::string kNoSerial =
    "Beim Import von dieser Datenquelle konnte keine Seriennummer ermittelt werden.";

class SerialNumbersTest : public testing::HandoverTest {
 protected:
  void OpenPatient(const std::string& diaryFileName) {
    WriteFile(context.host.baseFolder + "_Extras" + sep + "KELSAR" + sep + "PC1_anna.txt",
              "[currentpatient]\r\ndiary_filename=" + diaryFileName +
                  "\r\nlast_name=Meier\r\nfirst_name=Hans\r\nbirth_date=01.02.1970\r\n"
                  "ext_id=4711\r\n");
  }
  void Enter(const std::string& text) { ui.entryAnswers.push_back({true, text}); }
  std::string Store() { return context.paths.ConfigFolder() + "KELSAR Relay.rly"; }
};

TEST_F(SerialNumbersTest, IdentifiersAndArtificialSerials) {
  EXPECT_EQ(PatientIdentifier("meier.hans.1970.dia"), "meier.hans.1970");
  EXPECT_EQ(PatientIdentifier("meier"), "meier");
  EXPECT_EQ(ArtificialSerialNumber("meier"), "7A3BBFA99F");
  EXPECT_EQ(CommandLinePatientIdentifier({"Meier", "Hans", "01.02.1970", "4711"}),
            "cl:meier|hans|01.02.1970|4711");
}

TEST_F(SerialNumbersTest, OpenPatientTwiceGetsOneSerialAndOneEntry) {
  OpenPatient("meier.dat");
  ui.autoAnswers = {SerialAutoChoice::Auto, SerialAutoChoice::Auto};
  EXPECT_EQ(ResolveSerialNumber(context), "7A3BBFA99F");
  EXPECT_EQ(ResolveSerialNumber(context), "7A3BBFA99F");
  EXPECT_EQ(context.dialogResult, "Auto");
  EXPECT_EQ(ReadFile(Store()), "[SNMappings]\r\n7A3BBFA99F=meier\r\n");
  const SerialAutoDialogArgs& dialog = ui.autoDialogs.at(0);
  EXPECT_EQ(dialog.caption, "Seriennummer-Eingabe");
  EXPECT_EQ(dialog.label, kNoSerial +
                              " Soll eine künstliche Seriennummer für den derzeit geöffneten "
                              "Patienten erzeugt werden?\r\n\r\nMeier, Hans 01.02.1970\r\n4711");
  EXPECT_EQ(dialog.autoButton + "|" + dialog.manualButton + "|" + dialog.cancelButton,
            "Ja, künstliche Seriennr. erzeugen|Seriennr. manuell eintragen|&Abbrechen");
  EXPECT_FALSE(dialog.yesNoMode);
  EXPECT_TRUE(ui.entryDialogs.empty());
}

TEST_F(SerialNumbersTest, OpenPatientManualOrCancel) {
  OpenPatient("meier.dat");
  ui.autoAnswers = {SerialAutoChoice::Manual, SerialAutoChoice::Cancel};
  Enter("SN-0815");
  EXPECT_EQ(ResolveSerialNumber(context), "SN-0815");
  EXPECT_EQ(context.dialogResult, "Manuell");
  EXPECT_EQ(ui.entryDialogs.at(0).label,
            kNoSerial +
                " Wenn Ihnen eine Seriennummer vorliegt, geben Sie diese bitte für die "
                "korrekte Zuordnung in der Orvolux-Software ein.");
  EXPECT_EQ(ResolveSerialNumber(context), "");
  EXPECT_EQ(context.dialogResult, "Cancel");
  EXPECT_EQ(ui.entryDialogs.size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(FsPath(Store())));
}

TEST_F(SerialNumbersTest, EmptyDiaryFileNameGoesStraightToManualEntry) {
  OpenPatient("");
  Enter("");  // an empty box is confirmed as "unknown"
  EXPECT_EQ(ResolveSerialNumber(context), "unknown");
  EXPECT_TRUE(ui.autoDialogs.empty());
  EXPECT_TRUE(ui.noPatientDialogs.empty());
}

TEST_F(SerialNumbersTest, WithoutOpenPatientTheUserChooses) {
  ui.noPatientAnswers = {SerialNoPatientChoice::Manual, SerialNoPatientChoice::Manual,
                         SerialNoPatientChoice::Cancel, SerialNoPatientChoice::OpenPatient};
  Enter("   ");
  EXPECT_EQ(ResolveSerialNumber(context), "unknown");
  EXPECT_EQ(context.dialogResult, "Manuell");
  EXPECT_EQ(ResolveSerialNumber(context), "");  // the entry dialog cancelled
  EXPECT_EQ(context.dialogResult, "Cancel");
  EXPECT_EQ(ResolveSerialNumber(context), "");
  EXPECT_EQ(ui.entryDialogs.size(), 2u);
  EXPECT_THROW(ResolveSerialNumber(context), ProgramEnded);
  EXPECT_EQ(ui.noPatientDialogs.at(0).openButton, "Patientendatensatz in OX öffnen");
  EXPECT_EQ(ui.noPatientDialogs.at(0).label.substr(0, kNoSerial.size() + 14),
            kNoSerial + " Bitte öffnen");
}

TEST_F(SerialNumbersTest, CommandLinePatientIsAskedYesOrNo) {
  context.patientValues = {"Meier", "Hans", "01.02.1970", "4711"};
  OpenPatient("other.dat");  // the command line wins
  ui.autoAnswers = {SerialAutoChoice::Auto, SerialAutoChoice::Cancel, SerialAutoChoice::Cancel};
  EXPECT_EQ(ResolveSerialNumber(context), "679CE7DA6E");
  EXPECT_EQ(ReadFile(Store()), "[SNMappings]\r\n679CE7DA6E=cl:meier|hans|01.02.1970|4711\r\n");
  const SerialAutoDialogArgs& dialog = ui.autoDialogs.at(0);
  EXPECT_TRUE(dialog.yesNoMode);
  EXPECT_EQ(dialog.autoButton + "/" + dialog.cancelButton, "Ja/Nein");
  EXPECT_EQ(dialog.label,
            kNoSerial +
                " \r\n\r\nSollen die gerade importierten Daten dem folgenden "
                "Patienten zugewiesen werden?\r\n\r\nMeier, Hans (4711, *01.02.1970)");
  // "No" leads to the manual entry, not to the end of the import.
  Enter("X-1");
  EXPECT_EQ(ResolveSerialNumber(context), "X-1");
  EXPECT_EQ(context.dialogResult, "");
  EXPECT_EQ(ui.entryDialogs.at(0).label, kNoSerial + " Bitte geben Sie die Seriennummer ein.");
  EXPECT_EQ(ResolveSerialNumber(context), "");
  EXPECT_EQ(context.dialogResult, "Cancel");
}

TEST_F(SerialNumbersTest, CollidingSerialMovesToTheNextFreeCandidate) {
  WriteFile(Store(), "[SNMappings]\r\nAB=other1\r\nAB0=other2\r\n");
  EXPECT_EQ(MapSerialToPatient(context, "meier", "AB"), "AB-1");
  EXPECT_EQ(MapSerialToPatient(context, "MEIER", "AB"), "AB-1");
  EXPECT_EQ(MapSerialToPatient(context, "other2", "AB"), "AB0");
  EXPECT_EQ(ReadFile(Store()), "[SNMappings]\r\nAB=other1\r\nAB0=other2\r\nAB-1=meier\r\n");
}

TEST_F(SerialNumbersTest, CollisionSearchEndsAfterItsLastCandidate) {
  std::string store = "[SNMappings]\r\nAB=p\r\nAB0=p\r\n";
  for (int i = 1; i <= 998; ++i) store += "AB-" + std::to_string(i) + "=p\r\n";
  WriteFile(Store(), store);
  EXPECT_EQ(MapSerialToPatient(context, "meier", "AB"), "AB-999");  // the last candidate
  EXPECT_THROW(MapSerialToPatient(context, "schulz", "AB"), RuntimeError);
  EXPECT_EQ(ReadFile(Store()).find("schulz"), std::string::npos);
}

}  // namespace
}  // namespace tavrin
