// TavrinPlugin on Windows. The window is still to come; the program ends at once.

#include "platform/win32/win32_api.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  return 0;
}
