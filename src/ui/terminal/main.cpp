// TavrinPlugin on a text terminal: the main window and the dialogs as printed lines and
// numbered questions (see TerminalUi). The program's logic is the core's; this file only
// wires the POSIX platform and the terminal together and turns the end of the process
// into an exit code.

#include <unistd.h>

#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/startup.h"
#include "platform/command_line.h"
#include "platform/posix/posix_platform.h"
#include "platform/process_context.h"
#include "shared/error.h"
#include "ui/terminal/terminal_ui.h"

namespace {

[[noreturn]] void RunMainWindow(tavrin::TerminalUi& ui, tavrin::frmMeterImport& window) {
  using Action = tavrin::MainMenuChoice::Action;
  const tavrin::MainWindowTexts& texts = window.Texts();
  ui.ShowMainWindow(texts.caption, texts.instruction, texts.version);
  for (;;) {
    const tavrin::MainMenuChoice choice =
        ui.AskMainMenu({texts.browseButton, texts.startButton, texts.closeButton});
    switch (choice.action) {
      case Action::Browse:
        window.cmdDurchsuchen_Click();
        break;
      case Action::Start:
        // Returns only when there was nothing to do or the user cancelled; a completed
        // hand-over ends the process.
        window.cmdImportStarten_Click();
        break;
      case Action::TypePath:
        window.txtImportDatei = choice.path;
        break;
      case Action::Close:
        window.cmdSchliessen_Click();
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  // A run stopped from the terminal (Ctrl+C, kill, a hang-up) leaves no half-written file.
  tavrin::CleanUpOnInterrupt();
  try {
    tavrin::PosixPlatform platform;
    tavrin::TerminalUi ui(std::cin, std::cout, isatty(STDIN_FILENO) != 0,
                          isatty(STDOUT_FILENO) != 0);
    tavrin::ProcessContext context(platform, ui);
    // The core reads its command line as one text, the way Windows hands it over.
    context.rawCommandLine =
        tavrin::JoinWindowsCommandLine(std::vector<std::string>(argv + 1, argv + argc));

    try {
      tavrin::Main(context);
      tavrin::frmMeterImport window(context);
      window.Form_Load();
      RunMainWindow(ui, window);
    } catch (const std::exception& error) {
      // The trace log says why the process stopped, while its context still lives.
      context.trace.TryWrite("Ended by a failure: " +
                             tavrin::AsRuntimeError(error, "Main").Detail());
      throw;
    }
  } catch (const tavrin::ProgramEnded& ended) {
    std::cout.flush();
    return ended.exitCode;
  } catch (const std::exception& error) {
    // The last line of defence: nothing may leave main. Out of memory, too, is named as
    // the numbered error it is; traced above unless the context could not be made.
    std::cout.flush();
    std::cerr << "TavrinPlugin: " << tavrin::AsRuntimeError(error, "Main").Detail() << '\n';
    return 1;
  } catch (...) {
    // A throw of something that is no exception: it carries no text to trace.
    std::cerr << "TavrinPlugin: unexpected failure\n";
    return 1;
  }
}
