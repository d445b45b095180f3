#pragma once

#include "shared/version.h"

namespace tavrin {

// The program version that the host documents name as their writer. The writers take it
// as an argument so that a document can be reproduced for any version; callers pass
// kProgramVersion.
struct ProgramVersion {
  int major = 0;
  int minor = 0;
  int revision = 0;
};

inline constexpr ProgramVersion kProgramVersion{kVersionMajor, kVersionMinor, kVersionRevision};

}  // namespace tavrin
