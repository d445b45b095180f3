#include "cli/console_ui.h"

#include <algorithm>
#include <limits>

#include "shared/text.h"

namespace tavrin {

namespace {

constexpr int kBarWidth = 30;

}  // namespace

std::optional<long> FirstNumber(std::string_view text) {
  const std::size_t start = text.find_first_of("0123456789");
  if (start == std::string_view::npos) return std::nullopt;
  long value = 0;
  for (std::size_t i = start; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const int digit = text[i] - '0';
    if (value > (std::numeric_limits<long>::max() - digit) / 10) {
      return std::numeric_limits<long>::max();
    }
    value = value * 10 + digit;
  }
  return value;
}

std::string ProgressBarLine(long done, long total, int width) {
  if (total <= 0 || width <= 0) return {};
  done = std::clamp(done, 0L, total);
  const long filled =
      static_cast<long>(static_cast<double>(done) * width / static_cast<double>(total));
  const long percent =
      static_cast<long>(static_cast<double>(done) * 100 / static_cast<double>(total));
  std::string line = "[";
  line.append(static_cast<std::size_t>(filled), '#');
  line.append(static_cast<std::size_t>(width - filled), '-');
  line += "] ";
  const std::string percentText = std::to_string(percent) + "%";
  line.append(4 - std::min<std::size_t>(4, percentText.size()), ' ');
  line += percentText + "  " + std::to_string(done) + "/" + std::to_string(total) + " rows";
  return line;
}

ConsoleUi::ConsoleUi(std::ostream& err, bool quiet, bool progressBar)
    : err_(err), quiet_(quiet), progressBar_(progressBar && !quiet) {}

void ConsoleUi::EndProgress() {
  if (!progressShown_) return;
  // Blank out the bar and return to the line's start, so what follows starts clean.
  err_ << "\r\x1b[K" << std::flush;
  progressShown_ = false;
}

void ConsoleUi::Note(std::string_view text) {
  EndProgress();
  err_ << "tavrin-convert: " << text << '\n' << std::flush;
}

MessageResult ConsoleUi::ShowMessage(const std::string& text, const std::string& caption,
                                     MessageButtons buttons, MessageIcon /*icon*/) {
  // The only question the conversion asks is the data-age warning, which is confirmed;
  // a question of any other kind is declined.
  MessageResult answer = MessageResult::Ok;
  std::string how;
  switch (buttons) {
    case MessageButtons::Ok:
      break;
    case MessageButtons::OkCancel:
      how = " (answered OK)";
      break;
    case MessageButtons::YesNo:
      answer = MessageResult::No;
      how = " (answered No)";
      break;
    case MessageButtons::YesNoCancel:
    case MessageButtons::RetryCancel:
      answer = MessageResult::Cancel;
      how = " (answered Cancel)";
      break;
  }
  if (!quiet_) Note("[" + caption + "] " + ToPlainLineBreaks(text) + how);
  return answer;
}

FileDialogResult ConsoleUi::ChooseFile(const FileDialogArgs& args) {
  if (!quiet_)
    Note("file dialog '" + args.title + "' cancelled: files are named on the command line");
  return {};
}

SerialAutoChoice ConsoleUi::ShowSerialAutoDialog(const SerialAutoDialogArgs& /*args*/) {
  Note("serial-number question cancelled: give the serial number with --serial");
  return SerialAutoChoice::Cancel;
}

SerialNoPatientChoice ConsoleUi::ShowSerialNoPatientDialog(
    const SerialNoPatientDialogArgs& /*args*/) {
  Note("serial-number question cancelled: give the serial number with --serial");
  return SerialNoPatientChoice::Cancel;
}

SerialEntryResult ConsoleUi::ShowSerialEntryDialog(const SerialEntryDialogArgs& /*args*/) {
  Note("serial-number entry cancelled: give the serial number with --serial");
  return {};
}

void ConsoleUi::SetStatusText(const std::string& text) {
  if (!progressBar_ || expectedRows_ <= 0) return;
  const std::optional<long> rows = FirstNumber(text);
  if (!rows) return;
  err_ << '\r' << ProgressBarLine(*rows, expectedRows_, kBarWidth) << std::flush;
  progressShown_ = true;
}

}  // namespace tavrin
