#pragma once

#include <string>

#include "shared/ui.h"

namespace tavrin {

class TraceLog;

// The user interface as the core sees it: every call goes to the front end's Ui, and every
// message box also leaves the line "Message: " + its text (line breaks as blanks) in the
// trace log before it is shown, so that support staff read what the user was told. A
// trace log that cannot be written never keeps a message from being shown.
class MessageTraceUi : public Ui {
 public:
  MessageTraceUi(Ui& front, TraceLog& trace) : front_(front), trace_(trace) {}

  MessageResult ShowMessage(const std::string& text, const std::string& caption,
                            MessageButtons buttons, MessageIcon icon) override;
  FileDialogResult ChooseFile(const FileDialogArgs& args) override {
    return front_.ChooseFile(args);
  }
  SerialAutoChoice ShowSerialAutoDialog(const SerialAutoDialogArgs& args) override {
    return front_.ShowSerialAutoDialog(args);
  }
  SerialNoPatientChoice ShowSerialNoPatientDialog(const SerialNoPatientDialogArgs& args) override {
    return front_.ShowSerialNoPatientDialog(args);
  }
  SerialEntryResult ShowSerialEntryDialog(const SerialEntryDialogArgs& args) override {
    return front_.ShowSerialEntryDialog(args);
  }
  void SetStatusText(const std::string& text) override { front_.SetStatusText(text); }
  void DoEvents() override { front_.DoEvents(); }
  void ShowProgress(ProgressStep step, std::uint64_t done, std::uint64_t total) override {
    front_.ShowProgress(step, done, total);
  }
  void KeepMainWindowOnTop(bool onTop) override { front_.KeepMainWindowOnTop(onTop); }

 private:
  Ui& front_;
  TraceLog& trace_;
};

// The trace line of a message box's text: "Message: " + the text, each line break (CR LF,
// CR or LF) as one blank.
std::string MessageTraceLine(const std::string& text);

}  // namespace tavrin
