#pragma once

// The platform back end of the system the program is built for, for the front ends'
// main functions.
#ifdef _WIN32
#include "platform/win32/win32_platform.h"
namespace tavrin {
using SystemPlatform = Win32Platform;
}
#else
#include "platform/posix/posix_platform.h"
namespace tavrin {
using SystemPlatform = PosixPlatform;
}
#endif
