// Feeds arbitrary bytes to the executable version reader; it must neither crash nor read
// outside the input.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/version_resource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  (void)tavrin::ReadFileVersion(std::span<const std::uint8_t>(data, size));
  return 0;
}
