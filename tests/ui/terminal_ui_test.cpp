// The terminal front end's protocol: what it prints for each window and dialog, and how it
// reads the answer lines, including the end of the input and answers that name no choice.
// Each test is one transcript: scripted answer lines in, every printed line out.
#include "ui/terminal/terminal_ui.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace tavrin {
namespace {

// A terminal reading scripted answer lines; `out` holds what it printed.
struct Terminal {
  explicit Terminal(const std::string& input, bool terminal = false)
      : in(input), ui(in, out, terminal, terminal) {}
  std::istringstream in;
  std::ostringstream out;
  TerminalUi ui;
};

TEST(TerminalUi, MainWindowMenuMessagesAndFilePrompt) {
  EXPECT_EQ(RemoveAccelerators("Save && close&"), "Save & close");
  Terminal t("1\n\n  \n2\n/data/My Export.csv\r\n0\nyes\n3\n 2 \n3\n1\n/home/anna/export.csv\n");
  const MainMenuTexts menu{"Durchsuchen", "Daten &importieren", "Beenden"};
  t.ui.ShowMainWindow("Tavrin Plugin for Orvolux", "Bitte wählen Sie...", "V 1.0.0");
  EXPECT_EQ(t.ui.AskMainMenu(menu).action, MainMenuChoice::Action::Browse);
  EXPECT_EQ(t.ui.AskMainMenu(menu).action, MainMenuChoice::Action::Start);  // after empty lines
  const MainMenuChoice typed = t.ui.AskMainMenu(menu);
  EXPECT_TRUE(typed.action == MainMenuChoice::Action::TypePath &&
              typed.path == "/data/My Export.csv");
  t.ui.SetStatusText("Importiere 256...");
  // A message with only OK reads no answer line.
  const auto ask = [&](MessageButtons buttons) {
    return t.ui.ShowMessage("t", "c", buttons, MessageIcon::None);
  };
  EXPECT_EQ(t.ui.ShowMessage("first\r\nsecond", "TavrinPlugin", MessageButtons::Ok, {}),
            MessageResult::Ok);
  EXPECT_EQ(ask(MessageButtons::OkCancel), MessageResult::Cancel);  // after three wrong answers
  EXPECT_EQ(ask(MessageButtons::YesNoCancel), MessageResult::Cancel);
  EXPECT_EQ(ask(MessageButtons::RetryCancel), MessageResult::Retry);
  const FileDialogResult file = t.ui.ChooseFile({"", "Import", "", ""});
  EXPECT_TRUE(file.chosen);
  EXPECT_EQ(file.path + " in " + file.folder, "/home/anna/export.csv in /home/anna");
  // The end of input answers cancel, no, or the close button.
  EXPECT_EQ(ask(MessageButtons::YesNo), MessageResult::No);
  EXPECT_FALSE(t.ui.ChooseFile({"", "Import", "", ""}).chosen);
  EXPECT_EQ(t.ui.AskMainMenu(menu).action, MainMenuChoice::Action::Close);

  const std::string m = "1) Durchsuchen  2) Daten importieren  3) Beenden\n";
  const std::string okCancel = "1) OK  2) Cancel\n";
  EXPECT_EQ(t.out.str(), "Tavrin Plugin for Orvolux\nBitte wählen Sie...\nV 1.0.0\n" + m + m + m +
                             m + m + "Status: Importiere 256...\n[TavrinPlugin] first\nsecond\n" +
                             "[c] t\n" + okCancel + okCancel + okCancel + okCancel +
                             "[c] t\n1) Yes  2) No  3) Cancel\n[c] t\n1) Retry  2) Cancel\n" +
                             "Import: \n[c] t\n1) Yes  2) No\nImport: \n" + m);
}

TEST(TerminalUi, SerialNumberDialogs) {
  Terminal t("3\n1\n1\n ABC123\n1\n2\n");
  const auto autoDialog = [&](bool yesNo) {
    return t.ui.ShowSerialAutoDialog({"Eingabe", "Question?", yesNo ? "Ja" : "Ja, erzeugen",
                                      "Manuell", yesNo ? "Nein" : "&Abbrechen", yesNo});
  };
  // Caption, label and the text box's prompt as the core gives them.
  const SerialEntryDialogArgs entry{"Eingabe", "Type it.", "&Ok", "&Abbrechen", "", "Nummer"};
  EXPECT_EQ(autoDialog(true), SerialAutoChoice::Auto);  // "3" names no button here
  EXPECT_EQ(
      t.ui.ShowSerialNoPatientDialog({"Eingabe", "No patient.", "Öffnen", "Manuell", "&Abbrechen"}),
      SerialNoPatientChoice::OpenPatient);
  const SerialEntryResult typed = t.ui.ShowSerialEntryDialog(entry);
  EXPECT_TRUE(typed.confirmed && typed.text == "ABC123");
  EXPECT_EQ(autoDialog(false), SerialAutoChoice::Manual);
  EXPECT_EQ(autoDialog(false), SerialAutoChoice::Cancel);  // end of input
  EXPECT_FALSE(t.ui.ShowSerialEntryDialog(entry).confirmed);
  const std::string ask = "[Eingabe] Question?\n1) Ja, erzeugen  2) Manuell  3) Abbrechen\n";
  EXPECT_EQ(t.out.str(),
            "[Eingabe] Question?\n1) Ja  2) Nein\n1) Ja  2) Nein\n"
            "[Eingabe] No patient.\n1) Öffnen  2) Manuell  3) Abbrechen\n"
            "[Eingabe] Type it.\nNummer: \n1) Ok  2) Abbrechen\n" +
                ask + ask + "[Eingabe] Type it.\nNummer: \n");
}

TEST(TerminalUi, OnATerminal) {
  // Status texts overwrite one line; a typed answer ends its prompt's line by itself.
  Terminal t("x.csv\n2\n", true);
  t.ui.SetStatusText("Importiere 256...");
  t.ui.SetStatusText("Importiere 512...");
  t.ui.ChooseFile({"", "Import", "", ""});
  t.ui.AskMainMenu({"a", "b", "c"});
  EXPECT_EQ(t.out.str(),
            "\rStatus: Importiere 256...\x1b[K\rStatus: Importiere 512...\x1b[K\n"
            "Import: 1) a  2) b  3) c\n");
}

}  // namespace
}  // namespace tavrin
