#include "platform/file_replace.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "shared/fs.h"

namespace tavrin {

namespace fs = std::filesystem;

namespace {

bool Fail(std::string* error, std::string text) {
  if (error) *error = std::move(text);
  return false;
}

}  // namespace

std::string ReplacementFileName(const std::string& path) {
  return path + ".~new";
}

bool ReplaceFileBytes(const std::string& path, std::string_view bytes, std::string* error) {
  if (path.empty()) return Fail(error, "no file name given");
  std::error_code ec;
  fs::path target = FsPath(path);
  // Replace the file a link points to, not the link itself.
  if (fs::is_symlink(target, ec)) {
    fs::path resolved = fs::canonical(target, ec);
    if (!ec) target = resolved;
  }
  const fs::file_status status = fs::status(target, ec);
  const bool existed = fs::exists(status);
  if (existed) {
    if (!fs::is_regular_file(status)) return Fail(error, PathText(target) + " is not a file");
    // A rename would happily replace a read-only file; writing in place would not.
    if ((status.permissions() & fs::perms::owner_write) == fs::perms::none) {
      return Fail(error, PathText(target) + " is read-only");
    }
  }

  fs::path temp = target;
  temp += ".~new";
  if (fs::exists(temp, ec) && !fs::is_regular_file(temp, ec)) {
    return Fail(error, "cannot create " + PathText(temp));
  }
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return Fail(error, "cannot create " + PathText(temp));
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    out.close();
    if (!out) {
      fs::remove(temp, ec);
      return Fail(error, "cannot write " + PathText(temp));
    }
  }
  if (existed) fs::permissions(temp, status.permissions(), ec);
  fs::rename(temp, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    return Fail(error, "cannot replace " + PathText(target) + ": " + ec.message());
  }
  return true;
}

}  // namespace tavrin
