#pragma once

// What the benchmarks share: a user interface and a serial-number source that ask nobody.

#include <string>

#include "importer/record_conversion.h"
#include "shared/ui.h"

namespace tavrin::bench {

// A user interface that answers every question with OK and draws nothing, so that the
// figures show the import's own work.
class SilentUi : public tavrin::Ui {
 public:
  tavrin::MessageResult ShowMessage(const std::string&, const std::string&, tavrin::MessageButtons,
                                    tavrin::MessageIcon) override {
    return tavrin::MessageResult::Ok;
  }
  tavrin::FileDialogResult ChooseFile(const tavrin::FileDialogArgs&) override { return {}; }
  tavrin::SerialAutoChoice ShowSerialAutoDialog(const tavrin::SerialAutoDialogArgs&) override {
    return tavrin::SerialAutoChoice::Cancel;
  }
  tavrin::SerialNoPatientChoice ShowSerialNoPatientDialog(
      const tavrin::SerialNoPatientDialogArgs&) override {
    return tavrin::SerialNoPatientChoice::Cancel;
  }
  tavrin::SerialEntryResult ShowSerialEntryDialog(const tavrin::SerialEntryDialogArgs&) override {
    return {};
  }
  void SetStatusText(const std::string&) override {}
  void DoEvents() override {}
};

class FixedSerial : public tavrin::SerialNumberSource {
 public:
  std::string ResolveSerialNumber(tavrin::ProcessContext&) override { return "BENCH-0001"; }
};

}  // namespace tavrin::bench
