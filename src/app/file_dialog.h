#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavrin {

class Platform;
class Ui;

// What a file-dialog filter text asks for. The text is a mode letter,
// "|" and the filter proper: description|pattern pairs separated by "|", for example
// "L|Tavrin-Import|*.csv|Alle|*.*". "L" (either case) asks for the open dialog, any other
// letter for the save dialog.
struct FileFilterSpec {
  bool openDialog = false;
  std::string filter;  // the filter proper (from the third character on)
  std::vector<std::pair<std::string, std::string>> entries;  // description, pattern
  // The three characters after the first "|*." of the filter proper (fewer when the
  // filter ends earlier); empty when there is none.
  std::string defaultExtension;
};

FileFilterSpec ParseFileFilter(std::string_view filterText);

// The filter list the Windows dialog functions expect: the filter proper with "||"
// appended and every "|" turned into a NUL, so it ends in a double NUL.
std::string NulSeparatedFilter(std::string_view filter);

// Size of the file-name buffer handed to the dialog.
inline constexpr std::size_t kFileNameBufferSize = 512;
// The default file name padded with NULs to the buffer size; a name that already fills
// the buffer is returned unchanged.
std::string FileNameBuffer(std::string_view defaultFileName);

// Dialog flags: open = file and path must exist, read-only box hidden; save = path must
// exist, confirm overwrite, read-only box hidden.
inline constexpr std::uint32_t kOpenDialogFlags = 0x1804;
inline constexpr std::uint32_t kSaveDialogFlags = 0x806;
// The filter shown first (1-based).
inline constexpr int kInitialFilterIndex = 1;

// The initial folder to retry with after the dialog failed to open: a folder that was set
// may be the cause and is cleared; without one, the root of the system drive is tried.
std::string InitialFolderAfterDialogError(const std::string& initialFolder);

// The folder part of a path, with its trailing separator; empty when the path has none.
// Both "\" and "/" count as separators.
std::string FolderOfPath(std::string_view path);

// Shows the file dialog through the Ui and returns the chosen full path, or empty when
// the user cancelled. On a choice, initialFolder becomes the folder of the chosen file.
// The process's current folder is set back afterwards, whatever the dialog did to it.
std::string ShowFileDialog(Platform& platform, Ui& ui, const std::string& filterText,
                           const std::string& title, std::string& initialFolder,
                           const std::string& defaultFileName = std::string());

}  // namespace tavrin
