// The terminal front end's protocol: what it prints for each window and dialog, and how it
// reads the answer lines, including the end of the input and answers that name no choice.

#include "ui/terminal/terminal_ui.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

namespace tavrin {
namespace {

class TerminalUiTest : public ::testing::Test {
 protected:
  // A fresh terminal reading the given answer lines (scripted input).
  TerminalUi& With(const std::string& input) {
    in_.str(input);
    in_.clear();
    out_.str("");
    ui_ = std::make_unique<TerminalUi>(in_, out_);
    return *ui_;
  }
  std::string Output() const { return out_.str(); }
  MessageResult Ask(const std::string& input, MessageButtons buttons) {
    return With(input).ShowMessage("t", "c", buttons, MessageIcon::None);
  }

  std::istringstream in_;
  std::ostringstream out_;
  std::unique_ptr<TerminalUi> ui_;
};

const MainMenuTexts kMenu{"Durchsuchen", "Daten &importieren", "Beenden"};
const std::string kMenuLine = "1) Durchsuchen  2) Daten importieren  3) Beenden\n";

SerialAutoDialogArgs AutoArgs(bool yesNo) {
  return {"Seriennummer-Eingabe",        "Question?", yesNo ? "Ja" : "Ja, erzeugen", "Manuell",
          yesNo ? "Nein" : "&Abbrechen", yesNo};
}
const SerialNoPatientDialogArgs kNoPatient{"Seriennummer-Eingabe", "No patient.", "Öffnen",
                                           "Manuell", "&Abbrechen"};
const SerialEntryDialogArgs kEntry{"Seriennummer-Eingabe", "Type it.", "&Ok", "&Abbrechen", ""};

TEST(TerminalTextTest, AcceleratorMarksAreRemovedAndDoubledOnesKept) {
  EXPECT_EQ(RemoveAccelerators("Daten &importieren"), "Daten importieren");
  EXPECT_EQ(RemoveAccelerators("Save && close&"), "Save & close");
  EXPECT_EQ(RemoveAccelerators("Grüße &Übernehmen"), "Grüße Übernehmen");
}

TEST_F(TerminalUiTest, MainWindowAndMenu) {
  TerminalUi& ui = With("1\n2\n3\n/data/My Export.csv\r\n");
  ui.ShowMainWindow("Tavrin Plugin for Orvolux", "Bitte wählen Sie...", "V 1.0.0");
  EXPECT_EQ(ui.AskMainMenu(kMenu).action, MainMenuChoice::Action::Browse);
  EXPECT_EQ(ui.AskMainMenu(kMenu).action, MainMenuChoice::Action::Start);
  EXPECT_EQ(ui.AskMainMenu(kMenu).action, MainMenuChoice::Action::Close);
  const MainMenuChoice typed = ui.AskMainMenu(kMenu);
  EXPECT_EQ(typed.action, MainMenuChoice::Action::TypePath);
  EXPECT_EQ(typed.path, "/data/My Export.csv");
  // End of input is the close button.
  EXPECT_EQ(ui.AskMainMenu(kMenu).action, MainMenuChoice::Action::Close);
  EXPECT_EQ(Output(), "Tavrin Plugin for Orvolux\nBitte wählen Sie...\nV 1.0.0\n" + kMenuLine +
                          kMenuLine + kMenuLine + kMenuLine + kMenuLine);
}

TEST_F(TerminalUiTest, MenuAsksAgainAfterAnEmptyLine) {
  EXPECT_EQ(With("\n  \n2\n").AskMainMenu(kMenu).action, MainMenuChoice::Action::Start);
  EXPECT_EQ(Output(), kMenuLine + kMenuLine + kMenuLine);
}

TEST_F(TerminalUiTest, FilePromptTakesThePathOrCancels) {
  const FileDialogResult result =
      With("/home/anna/export.csv\n").ChooseFile({"", "Import", "", ""});
  EXPECT_EQ(Output(), "Import: \n");
  EXPECT_TRUE(result.chosen);
  EXPECT_EQ(result.path, "/home/anna/export.csv");
  EXPECT_EQ(result.folder, "/home/anna");
  EXPECT_FALSE(With("\n").ChooseFile({"", "Import", "", ""}).chosen);
  EXPECT_FALSE(With("").ChooseFile({"", "Import", "", ""}).chosen);
}

TEST_F(TerminalUiTest, TypedAnswersAreNotFollowedByAnExtraLineBreak) {
  std::istringstream in("x.csv\n");
  std::ostringstream out;
  TerminalUi(in, out, /*inputIsTerminal=*/true).ChooseFile({"", "Import", "", ""});
  EXPECT_EQ(out.str(), "Import: ");
}

TEST_F(TerminalUiTest, MessageWithOnlyOkReadsNothing) {
  TerminalUi& ui = With("2\n");
  EXPECT_EQ(ui.ShowMessage("first\r\nsecond", "TavrinPlugin", MessageButtons::Ok,
                           MessageIcon::Exclamation),
            MessageResult::Ok);
  EXPECT_EQ(Output(), "[TavrinPlugin] first\nsecond\n");
  // The line is still there for the next question.
  EXPECT_EQ(ui.AskMainMenu(kMenu).action, MainMenuChoice::Action::Start);
}

TEST_F(TerminalUiTest, MessageButtonsAreNumberedAndEndOfInputIsCancelOrNo) {
  EXPECT_EQ(Ask("1\n", MessageButtons::OkCancel), MessageResult::Ok);
  EXPECT_EQ(Output(), "[c] t\n1) OK  2) Cancel\n");
  EXPECT_EQ(Ask("2\n", MessageButtons::OkCancel), MessageResult::Cancel);
  EXPECT_EQ(Ask("1\n", MessageButtons::YesNo), MessageResult::Yes);
  EXPECT_EQ(Output(), "[c] t\n1) Yes  2) No\n");
  EXPECT_EQ(Ask("3\n", MessageButtons::YesNoCancel), MessageResult::Cancel);
  EXPECT_EQ(Ask("1\n", MessageButtons::RetryCancel), MessageResult::Retry);
  EXPECT_EQ(Ask("", MessageButtons::OkCancel), MessageResult::Cancel);
  EXPECT_EQ(Ask("", MessageButtons::YesNo), MessageResult::No);
}

TEST_F(TerminalUiTest, InvalidAnswerRepeatsTheQuestion) {
  EXPECT_EQ(Ask("0\nyes\n3\n 2 \n", MessageButtons::OkCancel), MessageResult::Cancel);
  const std::string buttons = "1) OK  2) Cancel\n";
  EXPECT_EQ(Output(), "[c] t\n" + buttons + buttons + buttons + buttons);
}

TEST_F(TerminalUiTest, AutoDialogOffersThreeChoices) {
  EXPECT_EQ(With("1\n").ShowSerialAutoDialog(AutoArgs(false)), SerialAutoChoice::Auto);
  EXPECT_EQ(Output(), "Question?\n1) Ja, erzeugen  2) Manuell  3) Abbrechen\n");
  EXPECT_EQ(With("2\n").ShowSerialAutoDialog(AutoArgs(false)), SerialAutoChoice::Manual);
  EXPECT_EQ(With("3\n").ShowSerialAutoDialog(AutoArgs(false)), SerialAutoChoice::Cancel);
  EXPECT_EQ(With("").ShowSerialAutoDialog(AutoArgs(false)), SerialAutoChoice::Cancel);
}

TEST_F(TerminalUiTest, AutoDialogInYesNoModeOffersTwoChoices) {
  EXPECT_EQ(With("3\n1\n").ShowSerialAutoDialog(AutoArgs(true)), SerialAutoChoice::Auto);
  EXPECT_EQ(Output(), "Question?\n1) Ja  2) Nein\n1) Ja  2) Nein\n");  // no third button
  EXPECT_EQ(With("2\n").ShowSerialAutoDialog(AutoArgs(true)), SerialAutoChoice::Cancel);
  EXPECT_EQ(With("").ShowSerialAutoDialog(AutoArgs(true)), SerialAutoChoice::Cancel);
}

TEST_F(TerminalUiTest, NoPatientDialogOffersOpenManualAndCancel) {
  EXPECT_EQ(With("1\n").ShowSerialNoPatientDialog(kNoPatient), SerialNoPatientChoice::OpenPatient);
  EXPECT_EQ(Output(), "No patient.\n1) Öffnen  2) Manuell  3) Abbrechen\n");
  EXPECT_EQ(With("2\n").ShowSerialNoPatientDialog(kNoPatient), SerialNoPatientChoice::Manual);
  EXPECT_EQ(With("").ShowSerialNoPatientDialog(kNoPatient), SerialNoPatientChoice::Cancel);
}

TEST_F(TerminalUiTest, EntryDialogReadsTheTextThenOkOrCancel) {
  SerialEntryResult result = With("ABC123\n1\n").ShowSerialEntryDialog(kEntry);
  EXPECT_EQ(Output(), "Type it.\nSerial number: \n1) Ok  2) Abbrechen\n");
  EXPECT_TRUE(result.confirmed);
  EXPECT_EQ(result.text, "ABC123");
  result = With("\n1\n").ShowSerialEntryDialog(kEntry);
  EXPECT_TRUE(result.confirmed);
  EXPECT_EQ(result.text, "");
  EXPECT_FALSE(With("ABC123\n2\n").ShowSerialEntryDialog(kEntry).confirmed);
  // End of input at either read cancels.
  EXPECT_FALSE(With("").ShowSerialEntryDialog(kEntry).confirmed);
  EXPECT_FALSE(With("ABC123\n").ShowSerialEntryDialog(kEntry).confirmed);
}

TEST_F(TerminalUiTest, StatusTextsArePrintedOnePerLine) {
  TerminalUi& ui = With("");
  ui.SetStatusText("Importiere 256...");
  ui.SetStatusText("Daten vorbereiten...");
  EXPECT_EQ(Output(), "Status: Importiere 256...\nStatus: Daten vorbereiten...\n");
}

TEST(TerminalStatusTest, OnATerminalStatusTextsOverwriteOneLine) {
  std::istringstream in("2\n");
  std::ostringstream out;
  TerminalUi ui(in, out, true, /*outputIsTerminal=*/true);
  ui.SetStatusText("Importiere 256...");
  ui.SetStatusText("Importiere 512...");
  ui.AskMainMenu({"a", "b", "c"});
  EXPECT_EQ(out.str(),
            "\rStatus: Importiere 256...\x1b[K\rStatus: Importiere 512...\x1b[K\n"
            "1) a  2) b  3) c\n");
}

}  // namespace
}  // namespace tavrin
