#pragma once

#include <string>
#include <string_view>

#include "shared/utf8.h"

namespace tavrin {

// Text inside the program is UTF-8; the Windows W functions take UTF-16. These convert
// right at each call, so that no UTF-16 text is kept anywhere. (wchar_t is a UTF-16 code
// unit on Windows.) Invalid UTF-8 bytes become U+FFFD, as everywhere in the program.
inline std::wstring Wide(std::string_view utf8) {
  const std::u16string units = Utf8ToUtf16(utf8);
  return std::wstring(units.begin(), units.end());
}

inline std::string Narrow(std::wstring_view utf16) {
  return Utf16ToUtf8(std::u16string(utf16.begin(), utf16.end()));
}

}  // namespace tavrin
