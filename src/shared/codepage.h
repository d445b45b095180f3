#pragma once

#include <string>
#include <string_view>

namespace tavrin {

// Windows-1252, the ANSI code page that stands in on systems without one. Characters the
// code page lacks become "?"; the five undefined bytes map to the C1 controls.
std::string Utf8ToWindows1252(std::string_view utf8);
std::string Windows1252ToUtf8(std::string_view bytes);

}  // namespace tavrin
