#pragma once

#include <fstream>
#include <iterator>
#include <string>

#include "fakes/golden_text.h"

namespace tavrin::testing {

// A document written by hand below tests/data ("formats/mgdl.xml"). The files keep LF line
// ends (any CR a checkout adds is dropped) and end with one line break that the document
// does not have; the host formats use CR LF.
inline std::string GoldenFile(const std::string& name) {
  std::ifstream in(std::string(TAVRIN_TEST_DATA) + "/" + name, std::ios::binary);
  std::string text(std::istreambuf_iterator<char>(in), {});
  std::erase(text, '\r');
  if (text.ends_with('\n')) text.pop_back();
  return WithCrLf(text);
}

}  // namespace tavrin::testing
