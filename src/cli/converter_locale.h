#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/platform.h"

namespace tavrin {

// The locale of the batch converter: every answer comes from the system's, except the
// regional settings when the user fixed them on the command line, so that an export
// written elsewhere reads the same on any machine (the trace log's time stamps and the
// data-age message follow them too).
class ConverterLocale : public LocaleService {
 public:
  explicit ConverterLocale(LocaleService& system) : system_(system) {}

  void OverrideRegional(RegionalSettings regional) { regional_ = std::move(regional); }

  RegionalSettings Regional() override { return regional_ ? *regional_ : system_.Regional(); }
  std::string Utf8ToAnsi(std::string_view utf8) override { return system_.Utf8ToAnsi(utf8); }
  std::string AnsiToUtf8(std::string_view ansi) override { return system_.AnsiToUtf8(ansi); }
  std::string LocaleInfo(int type) override { return system_.LocaleInfo(type); }

 private:
  LocaleService& system_;
  std::optional<RegionalSettings> regional_;
};

}  // namespace tavrin
