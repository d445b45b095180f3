#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

// The caption as shown, without its mnemonic marker: a single "&" goes, "&&" stays as one
// "&".
std::string StripMnemonic(std::string_view caption);

// Gives every caption of one window a keyboard mnemonic: a caption that has one ("&" before
// a character) keeps it; the others get an "&" before their first ASCII letter or digit
// that no other caption of the window uses yet (letter case ignored). A caption without a
// free character stays as it is.
std::vector<std::string> WithMnemonics(std::vector<std::string> captions);

}  // namespace tavrin
