#pragma once

#include <deque>
#include <string>
#include <vector>

#include "shared/ui.h"

namespace tavrin::testing {

// Records every interaction and answers from queues the test fills; an empty queue
// answers as the cancel button would.
struct FakeUi : Ui {
  struct Message {
    std::string text, caption;
    MessageButtons buttons;
    MessageIcon icon;
  };
  std::vector<Message> messages;
  std::deque<MessageResult> messageAnswers;
  std::vector<FileDialogArgs> fileDialogs;
  std::deque<FileDialogResult> fileAnswers;
  std::vector<SerialAutoDialogArgs> autoDialogs;
  std::deque<SerialAutoChoice> autoAnswers;
  std::vector<SerialNoPatientDialogArgs> noPatientDialogs;
  std::deque<SerialNoPatientChoice> noPatientAnswers;
  std::vector<SerialEntryDialogArgs> entryDialogs;
  std::deque<SerialEntryResult> entryAnswers;
  std::vector<std::string> statusTexts;
  int doEventsCalls = 0;
  struct Progress {
    ProgressStep step;
    std::uint64_t done, total;
  };
  std::vector<Progress> progress;
  std::vector<bool> mainWindowOnTop;

  // Drops what was recorded and keeps the queued answers: a fuzz target calls this after
  // every input, or millions of runs would fill the memory with progress steps.
  void ForgetCalls() {
    messages.clear();
    fileDialogs.clear();
    autoDialogs.clear();
    noPatientDialogs.clear();
    entryDialogs.clear();
    statusTexts.clear();
    progress.clear();
    mainWindowOnTop.clear();
  }

  MessageResult ShowMessage(const std::string& text, const std::string& caption,
                            MessageButtons buttons, MessageIcon icon) override {
    messages.push_back({text, caption, buttons, icon});
    return Pop(messageAnswers,
               buttons == MessageButtons::Ok ? MessageResult::Ok : MessageResult::Cancel);
  }
  FileDialogResult ChooseFile(const FileDialogArgs& args) override {
    fileDialogs.push_back(args);
    return Pop(fileAnswers, FileDialogResult{});
  }
  SerialAutoChoice ShowSerialAutoDialog(const SerialAutoDialogArgs& args) override {
    autoDialogs.push_back(args);
    return Pop(autoAnswers, SerialAutoChoice::Cancel);
  }
  SerialNoPatientChoice ShowSerialNoPatientDialog(const SerialNoPatientDialogArgs& args) override {
    noPatientDialogs.push_back(args);
    return Pop(noPatientAnswers, SerialNoPatientChoice::Cancel);
  }
  SerialEntryResult ShowSerialEntryDialog(const SerialEntryDialogArgs& args) override {
    entryDialogs.push_back(args);
    return Pop(entryAnswers, SerialEntryResult{});
  }
  void SetStatusText(const std::string& text) override { statusTexts.push_back(text); }
  void DoEvents() override { ++doEventsCalls; }
  void ShowProgress(ProgressStep step, std::uint64_t done, std::uint64_t total) override {
    progress.push_back({step, done, total});
  }
  void KeepMainWindowOnTop(bool onTop) override { mainWindowOnTop.push_back(onTop); }

  // The next queued answer, or the fallback when the queue is empty.
  template <typename T>
  static T Pop(std::deque<T>& queue, T fallback) {
    if (queue.empty()) return fallback;
    T value = queue.front();
    queue.pop_front();
    return value;
  }
};

}  // namespace tavrin::testing
