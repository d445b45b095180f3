#include "app/file_dialog.h"

#include <algorithm>

#include "platform/platform.h"
#include "shared/fs.h"
#include "shared/ui.h"

namespace tavrin {

FileFilterSpec ParseFileFilter(std::string_view filterText) {
  FileFilterSpec spec;
  spec.openDialog = !filterText.empty() && (filterText[0] == 'L' || filterText[0] == 'l');
  if (filterText.size() > 2) spec.filter = std::string(filterText.substr(2));

  const std::size_t marker = spec.filter.find("|*.");
  if (marker != std::string::npos) spec.defaultExtension = spec.filter.substr(marker + 3, 3);

  // Description and pattern alternate; a description without a pattern gets an empty one.
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start < spec.filter.size()) {
    const std::size_t bar = spec.filter.find('|', start);
    if (bar == std::string::npos) {
      parts.push_back(spec.filter.substr(start));
      break;
    }
    parts.push_back(spec.filter.substr(start, bar - start));
    start = bar + 1;
  }
  for (std::size_t i = 0; i < parts.size(); i += 2) {
    spec.entries.emplace_back(parts[i], i + 1 < parts.size() ? parts[i + 1] : std::string());
  }
  return spec;
}

std::string NulSeparatedFilter(std::string_view filter) {
  std::string list(filter);
  list += "||";
  std::replace(list.begin(), list.end(), '|', '\0');
  return list;
}

std::string FileNameBuffer(std::string_view defaultFileName) {
  std::string buffer(defaultFileName);
  if (buffer.size() < kFileNameBufferSize) buffer.resize(kFileNameBufferSize, '\0');
  return buffer;
}

std::string InitialFolderAfterDialogError(const std::string& initialFolder) {
  if (!initialFolder.empty()) return std::string();
  return kPathSep == '\\' ? std::string("c:\\") : std::string(1, kPathSep);
}

std::string FolderOfPath(std::string_view path) {
  const std::size_t separator = path.find_last_of("\\/");
  if (separator == std::string_view::npos) return std::string();
  return std::string(path.substr(0, separator + 1));
}

std::string ShowFileDialog(Platform& platform, Ui& ui, const std::string& filterText,
                           const std::string& title, std::string& initialFolder,
                           const std::string& defaultFileName) {
  const std::string savedFolder = platform.Files().CurrentDirectory();
  const FileDialogResult result =
      ui.ChooseFile(FileDialogArgs{filterText, title, initialFolder, defaultFileName});
  if (!savedFolder.empty()) platform.Files().ChangeDirectory(savedFolder);

  if (!result.chosen) return std::string();
  // The dialog's buffer ends at its first NUL.
  std::string path = result.path.substr(0, result.path.find('\0'));
  if (path.empty()) return path;
  initialFolder = result.folder.empty() ? FolderOfPath(path) : result.folder;
  return path;
}

}  // namespace tavrin
