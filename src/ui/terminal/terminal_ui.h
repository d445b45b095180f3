#pragma once

#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "shared/ui.h"

namespace tavrin {

// What the user chose at the main window's menu.
struct MainMenuChoice {
  enum class Action { Browse, Start, Close, TypePath };
  Action action = Action::Close;
  std::string path;  // the text typed into the file box (TypePath only)
};

// The main window's button texts as the menu shows them.
struct MainMenuTexts {
  std::string browseButton;
  std::string startButton;
  std::string closeButton;
};

// The user interface on a text terminal: every window and dialog becomes a few printed
// lines and a question answered by one input line. Questions are numbered choices; an
// answer that names no choice asks again, and the end of the input answers as the
// dialog's cancel button would, so the program can be driven by a script as well as by
// a person.
class TerminalUi : public Ui {
 public:
  // inputIsTerminal: the user types the answers (the terminal echoes them); otherwise a
  // line break follows each answer read after a prompt, so that the printed transcript
  // keeps one question per line. outputIsTerminal: running counts in the status text
  // overwrite one line instead of adding lines.
  TerminalUi(std::istream& in, std::ostream& out, bool inputIsTerminal = false,
             bool outputIsTerminal = false);

  MessageResult ShowMessage(const std::string& text, const std::string& caption,
                            MessageButtons buttons, MessageIcon icon) override;
  FileDialogResult ChooseFile(const FileDialogArgs& args) override;
  SerialAutoChoice ShowSerialAutoDialog(const SerialAutoDialogArgs& args) override;
  SerialNoPatientChoice ShowSerialNoPatientDialog(const SerialNoPatientDialogArgs& args) override;
  SerialEntryResult ShowSerialEntryDialog(const SerialEntryDialogArgs& args) override;
  void SetStatusText(const std::string& text) override;
  void DoEvents() override;

  // The main window once it has loaded: its caption, instruction and version, one line each.
  void ShowMainWindow(const std::string& caption, const std::string& instruction,
                      const std::string& version);
  // One round of the main window's menu. The end of the input is the close button.
  MainMenuChoice AskMainMenu(const MainMenuTexts& texts);

 private:
  // Prints the numbered choices and reads until a number between 1 and the count is
  // given; empty when the input ends first.
  std::optional<int> AskChoice(const std::vector<std::string>& choices);
  // Prints a prompt without a line break and reads the answer line; empty when the
  // input has ended.
  std::optional<std::string> AskLine(std::string_view prompt);
  std::optional<std::string> ReadLine();
  // Prints a whole line (dialog labels and message texts may hold several).
  void PrintLine(std::string_view text);
  // Ends a status line that later output must not overwrite.
  void EndStatusLine();

  std::istream& in_;
  std::ostream& out_;
  bool inputIsTerminal_;
  bool outputIsTerminal_;
  bool statusLineOpen_ = false;
};

// A button or label text as the terminal shows it: "&" accelerator marks removed, a
// doubled "&&" kept as one "&".
std::string RemoveAccelerators(std::string_view text);

// The numbered choice line: "1) First  2) Second  3) Third".
std::string NumberedChoices(const std::vector<std::string>& choices);

}  // namespace tavrin
