#include "ui/terminal/terminal_ui.h"

#include "shared/text.h"

namespace tavrin {

namespace {

// An answer line without its line end and surrounding blanks or tabs.
std::string_view TrimAnswer(std::string_view line) {
  const auto first = line.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = line.find_last_not_of(" \t\r");
  return line.substr(first, last - first + 1);
}

// The choice an answer names: a whole number from 1 to count.
std::optional<int> ChoiceNumber(std::string_view answer, int count) {
  answer = TrimAnswer(answer);
  if (answer.empty() || answer.size() > 3) return std::nullopt;
  int number = 0;
  for (char c : answer) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + (c - '0');
  }
  if (number < 1 || number > count) return std::nullopt;
  return number;
}

}  // namespace

std::string RemoveAccelerators(std::string_view text) {
  std::string plain;
  plain.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') {
      plain += text[i];
    } else if (i + 1 < text.size() && text[i + 1] == '&') {
      plain += '&';
      ++i;
    }
  }
  return plain;
}

std::string NumberedChoices(const std::vector<std::string>& choices) {
  std::string line;
  for (std::size_t i = 0; i < choices.size(); ++i) {
    if (i > 0) line += "  ";
    line += std::to_string(i + 1) + ") " + RemoveAccelerators(choices[i]);
  }
  return line;
}

TerminalUi::TerminalUi(std::istream& in, std::ostream& out, bool inputIsTerminal,
                       bool outputIsTerminal)
    : in_(in), out_(out), inputIsTerminal_(inputIsTerminal), outputIsTerminal_(outputIsTerminal) {}

MessageResult TerminalUi::ShowMessage(const std::string& text, const std::string& caption,
                                      MessageButtons buttons, MessageIcon /*icon*/) {
  PrintLine("[" + caption + "] " + text);
  struct Button {
    const char* text;
    MessageResult result;
  };
  std::vector<Button> set;
  MessageResult endOfInput = MessageResult::Cancel;
  switch (buttons) {
    case MessageButtons::Ok:
      return MessageResult::Ok;
    case MessageButtons::OkCancel:
      set = {{"OK", MessageResult::Ok}, {"Cancel", MessageResult::Cancel}};
      break;
    case MessageButtons::YesNo:
      set = {{"Yes", MessageResult::Yes}, {"No", MessageResult::No}};
      endOfInput = MessageResult::No;
      break;
    case MessageButtons::YesNoCancel:
      set = {{"Yes", MessageResult::Yes},
             {"No", MessageResult::No},
             {"Cancel", MessageResult::Cancel}};
      break;
    case MessageButtons::RetryCancel:
      set = {{"Retry", MessageResult::Retry}, {"Cancel", MessageResult::Cancel}};
      break;
  }
  std::vector<std::string> names;
  for (const Button& button : set) names.emplace_back(button.text);
  const std::optional<int> choice = AskChoice(names);
  return choice ? set[static_cast<std::size_t>(*choice - 1)].result : endOfInput;
}

FileDialogResult TerminalUi::ChooseFile(const FileDialogArgs& args) {
  FileDialogResult result;
  const std::optional<std::string> answer = AskLine(args.title + ": ");
  if (!answer) return result;
  const std::string_view path = TrimAnswer(*answer);
  if (path.empty()) return result;
  result.chosen = true;
  result.path = std::string(path);
  const auto separator = result.path.find_last_of("/\\");
  result.folder = separator == std::string::npos ? std::string() : result.path.substr(0, separator);
  return result;
}

SerialAutoChoice TerminalUi::ShowSerialAutoDialog(const SerialAutoDialogArgs& args) {
  PrintLine("[" + args.caption + "] " + args.label);
  if (args.yesNoMode) {
    // The manual button is hidden; the auto button reads yes and the cancel button no.
    const std::optional<int> choice = AskChoice({args.autoButton, args.cancelButton});
    return choice == 1 ? SerialAutoChoice::Auto : SerialAutoChoice::Cancel;
  }
  const std::optional<int> choice =
      AskChoice({args.autoButton, args.manualButton, args.cancelButton});
  if (choice == 1) return SerialAutoChoice::Auto;
  if (choice == 2) return SerialAutoChoice::Manual;
  return SerialAutoChoice::Cancel;
}

SerialNoPatientChoice TerminalUi::ShowSerialNoPatientDialog(const SerialNoPatientDialogArgs& args) {
  PrintLine("[" + args.caption + "] " + args.label);
  const std::optional<int> choice =
      AskChoice({args.openButton, args.manualButton, args.cancelButton});
  if (choice == 1) return SerialNoPatientChoice::OpenPatient;
  if (choice == 2) return SerialNoPatientChoice::Manual;
  return SerialNoPatientChoice::Cancel;
}

SerialEntryResult TerminalUi::ShowSerialEntryDialog(const SerialEntryDialogArgs& args) {
  SerialEntryResult result;
  PrintLine("[" + args.caption + "] " + args.label);
  // The text box's content is selected when the dialog opens, so what is typed replaces it.
  const std::optional<std::string> typed = AskLine(args.textBoxLabel + ": ");
  if (!typed) return result;
  const std::optional<int> choice = AskChoice({args.okButton, args.cancelButton});
  if (choice != 1) return result;
  result.confirmed = true;
  result.text = std::string(TrimAnswer(*typed));
  return result;
}

void TerminalUi::SetStatusText(const std::string& text) {
  if (outputIsTerminal_) {
    // Each new status overwrites the last one; "\x1b[K" clears what a longer text left.
    out_ << "\rStatus: " << ToPlainLineBreaks(text) << "\x1b[K" << std::flush;
    statusLineOpen_ = true;
  } else {
    PrintLine("Status: " + text);
  }
}

void TerminalUi::DoEvents() {
  out_.flush();
}

void TerminalUi::ShowMainWindow(const std::string& caption, const std::string& instruction,
                                const std::string& version) {
  PrintLine(caption);
  PrintLine(instruction);
  PrintLine(version);
}

MainMenuChoice TerminalUi::AskMainMenu(const MainMenuTexts& texts) {
  MainMenuChoice choice;
  const std::string menu =
      NumberedChoices({texts.browseButton, texts.startButton, texts.closeButton});
  for (;;) {
    PrintLine(menu);
    const std::optional<std::string> line = ReadLine();
    if (!line) {
      choice.action = MainMenuChoice::Action::Close;
      return choice;
    }
    const std::string_view answer = TrimAnswer(*line);
    if (answer.empty()) continue;
    if (answer == "1") {
      choice.action = MainMenuChoice::Action::Browse;
    } else if (answer == "2") {
      choice.action = MainMenuChoice::Action::Start;
    } else if (answer == "3") {
      choice.action = MainMenuChoice::Action::Close;
    } else {
      // Anything else is a path typed straight into the file box.
      choice.action = MainMenuChoice::Action::TypePath;
      choice.path = std::string(answer);
    }
    return choice;
  }
}

std::optional<int> TerminalUi::AskChoice(const std::vector<std::string>& choices) {
  const std::string line = NumberedChoices(choices);
  for (;;) {
    PrintLine(line);
    const std::optional<std::string> answer = ReadLine();
    if (!answer) return std::nullopt;
    if (const std::optional<int> number = ChoiceNumber(*answer, static_cast<int>(choices.size()))) {
      return number;
    }
  }
}

std::optional<std::string> TerminalUi::AskLine(std::string_view prompt) {
  EndStatusLine();
  out_ << prompt << std::flush;
  std::optional<std::string> answer = ReadLine();
  // A typed answer ends the prompt's line with its Enter key; a scripted one does not.
  if (!inputIsTerminal_ || !answer) out_ << '\n' << std::flush;
  return answer;
}

std::optional<std::string> TerminalUi::ReadLine() {
  std::string line;
  if (!std::getline(in_, line)) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

void TerminalUi::PrintLine(std::string_view text) {
  EndStatusLine();
  out_ << ToPlainLineBreaks(text) << '\n' << std::flush;
}

void TerminalUi::EndStatusLine() {
  if (!statusLineOpen_) return;
  out_ << '\n';
  statusLineOpen_ = false;
}

}  // namespace tavrin
