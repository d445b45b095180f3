#pragma once

#include <string>
#include <string_view>

namespace tavrin {

// The fixed part of the key under which the import tool checks a file's MAC: 32 hex
// digits and an opening brace. The whole key is this constant, the host's patient
// database identifier and a closing brace; it exists only while a MAC is computed.
// The host's import tool holds the same constant.
inline constexpr std::string_view kMacKeyConstant = "7f3a9c1e5b2d4086a1c3e5f7092b4d6e{";
static_assert(kMacKeyConstant.size() == 33);

inline std::string MacKeyText(std::string_view databaseId) {
  std::string key(kMacKeyConstant);
  key += databaseId;
  key += '}';
  return key;
}

}  // namespace tavrin
