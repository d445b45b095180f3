// TavrinPlugin on Windows: the main window and the serial-number dialogs as native
// windows (MainWindowView, Win32Ui). The program's logic is the core's; this file only
// wires the Win32 platform and the windows together and turns the end of the process into
// an exit code.

#include <exception>
#include <string>

#include "app/main_window.h"
#include "app/startup.h"
#include "platform/process_context.h"
#include "platform/win32/win32_platform.h"
#include "shared/error.h"
#include "shared/version.h"
#include "ui/win32/main_window_view.h"
#include "ui/win32/win32_ui.h"
// After the program's own headers (see win32_api.h).
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_api.h"

namespace {

// A failure nobody caught: a GUI program has no console to print it on.
int ReportFailure(const std::string& text) {
  ::MessageBoxW(nullptr, tavrin::Wide(text).c_str(), tavrin::Wide(tavrin::kProgramTitle).c_str(),
                MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
  return 1;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int showCommand) {
  try {
    tavrin::Win32Platform platform;
    tavrin::Win32Ui ui;
    tavrin::ProcessContext context(platform, ui);
    // The command line exactly as the process received it, without the program's name:
    // the host's patient arguments are read from this text.
    context.rawCommandLine = tavrin::Narrow(commandLine ? commandLine : L"");

    try {
      tavrin::Main(context);
      if (context.languages) ui.SetLanguageCode(context.languages->Code());
      tavrin::frmMeterImport form(context);
      form.Form_Load();
      tavrin::MainWindowView window(ui, form);
      window.Show(showCommand);
      // Returns only when the loop was told to quit without an exception: the window is
      // gone, as if it had been closed.
      ui.RunMessageLoop();
      form.Form_Unload();
    } catch (const std::exception& error) {
      // The trace log says why the process stopped, while its context still lives.
      context.trace.TryWrite("Ended by a failure: " +
                             tavrin::AsRuntimeError(error, "Main").Detail());
      throw;
    }
  } catch (const tavrin::ProgramEnded& ended) {
    return ended.exitCode;
  } catch (const std::exception& error) {
    // The last line of defence: nothing may leave wWinMain. Out of memory, too, is named
    // as the numbered error it is; traced above unless the context could not be made.
    return ReportFailure(tavrin::AsRuntimeError(error, "Main").Detail());
  } catch (...) {
    // A throw of something that is no exception: it carries no text to trace.
    return ReportFailure("unexpected failure");
  }
}
