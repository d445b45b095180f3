#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

class Platform;
struct ProcessStart;
class ProcessContext;

// File name of the host program, in the host's base folder.
inline constexpr char kHostExeName[] = "Veltra Orvolux Software.exe";

// Finds the host installation once per process and keeps it in context.host: the base
// folder (from the program's own "plugins" folder, the "OXSWBaseFolder" setting, the
// companion folder "_extras/kelsar", or the running host), the diary folder (from the
// host's "ox2.ini") and the patient database's identifier (from "palist.xml"). Does
// nothing when the base folder is already known. Shows message 5579 or 5580 and ends the
// program (ProgramEnded) when the installation cannot be found or is damaged.
// `namedBaseFolder`, when given, takes the place of the "OXSWBaseFolder" setting: the
// installation a user named on the command line.
void DetermineHostFolders(ProcessContext& context,
                          const std::optional<std::string>& namedBaseFolder = std::nullopt);

// A path read from a host file ("Sub\\D2" or "Sub/D2", written on Windows or not) with the
// local separator.
std::string HostPathToLocal(std::string_view path);

// The path of the entry below the folder named by the names (one per level), each level
// found without regard to case where no entry of the exact spelling exists: the host
// spells its folders "_Extras" and "_EXTRAS" alike, which a case-sensitive file system
// tells apart. Levels that do not exist keep the given spelling. Blocks on the file system.
std::string FindHostPath(const std::string& folder, const std::vector<std::string>& names);

// The folder (with trailing separator) of the first running process with this
// executable name; empty when there is none or the system cannot tell (a query that
// fails with a run-time error is traced).
std::string FindProcessFolder(ProcessContext& context, const std::string& exeName);

// The file version of the host program, read on first request and kept.
std::string HostVersion(ProcessContext& context);

// Makes the folder the current folder: 0 on success, else the run-time error number.
int ChangeDirectory(Platform& platform, const std::string& folder);

// Starts the program and waits for it to end while pending user-interface work keeps
// running. Returns the program's exit code, or 0 when the started program cannot be
// watched. Throws RuntimeError when the program cannot be started.
std::uint32_t ShellAndWait(ProcessContext& context, const ProcessStart& start, int windowStyle);

}  // namespace tavrin
