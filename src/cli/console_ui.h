#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "shared/ui.h"

namespace tavrin {

// The user interface of the batch converter, which nobody sits in front of: messages go
// to standard error, the data-age question is answered with OK, every dialog is answered
// as cancelled (the serial number comes from the command line, so none should appear),
// and the reader's status texts drive a progress bar when standard error is a terminal.
class ConsoleUi : public Ui {
 public:
  ConsoleUi(std::ostream& err, bool quiet, bool progressBar);

  // The number of rows the progress bar counts towards; 0 shows no bar.
  void SetExpectedRows(long rows) { expectedRows_ = rows; }
  // Removes the progress bar from the terminal line.
  void EndProgress();

  MessageResult ShowMessage(const std::string& text, const std::string& caption,
                            MessageButtons buttons, MessageIcon icon) override;
  FileDialogResult ChooseFile(const FileDialogArgs& args) override;
  SerialAutoChoice ShowSerialAutoDialog(const SerialAutoDialogArgs& args) override;
  SerialNoPatientChoice ShowSerialNoPatientDialog(const SerialNoPatientDialogArgs& args) override;
  SerialEntryResult ShowSerialEntryDialog(const SerialEntryDialogArgs& args) override;
  void SetStatusText(const std::string& text) override;
  void DoEvents() override {}

 private:
  void Note(std::string_view text);

  std::ostream& err_;
  bool quiet_;
  bool progressBar_;
  long expectedRows_ = 0;
  bool progressShown_ = false;
};

// The first whole number in a text ("Importiere 1024..." gives 1024); empty when the text
// holds no digit.
std::optional<long> FirstNumber(std::string_view text);

// One line of the progress bar: "[#####-----]  50%  1024/2048 rows", the bar "width"
// characters wide. A count beyond the total shows as full.
std::string ProgressBarLine(long done, long total, int width);

}  // namespace tavrin
