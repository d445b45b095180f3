#include "handover/transfer_job.h"

#include <optional>
#include <vector>

#include "handover/hs256.h"
#include "handover/import_call.h"
#include "platform/file_replace.h"
#include "platform/process_context.h"
#include "platform/temp_files.h"
#include "shared/error.h"
#include "shared/fs.h"
#include "shared/text.h"
#include "shared/utf8.h"

namespace tavrin {

namespace {

// Copies a document to a name that must be new: created exclusively, never through a
// link, readable by the user only, and never holding part of the document. Raises 53
// when the source is missing and 75 when the copy fails otherwise.
void CopyToNewFile(Platform& platform, const std::string& source, const std::string& target,
                   const char* procedure) {
  if (!FileExists(source)) throw FileNotFoundError(procedure, source);
  const std::optional<std::string> bytes = ReadFileBytes(source, kMaxDocumentFileBytes);
  const FileWriteResult result =
      bytes ? WriteNewFile(platform, target, *bytes, FileAccess::OwnerOnly)
            : FileWriteResult{FileWriteResult::Failure::Create, "Cannot read file: " + source};
  if (!result.Ok()) {
    throw RuntimeError(kErrPathFileAccess, procedure,
                       "Cannot copy " + source + " to " + target + ": " + result.description);
  }
}

// Only the numbers CreateTransferJob draws: nine digits without a leading zero. Anything
// else (a path, a short or long number) names no job file.
bool IsJobNumber(const std::string& text) {
  if (text.size() != 9 || text[0] == '0') return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

std::string JobFolder(ProcessContext& context) {
  return context.paths.ProgramFolder() + "jobs" + kPathSep;
}

std::string CreateTransferJob(ProcessContext& context, const std::string& sourcePath,
                              JobNumberSource& numbers) {
  const std::string folder = JobFolder(context);
  // Job files are patient data waiting for the host: the folder is the user's alone.
  if (!context.platform.Files().CreateFolders(folder)) {
    throw RuntimeError(kErrPathFileAccess, "CreateTransferJob",
                       "Cannot create the job folder " + folder);
  }
  std::string jobNumber;
  std::string jobPath;
  do {
    jobNumber = std::to_string(numbers.Next());
    jobPath = folder + jobNumber + ".xml";
  } while (FileExists(jobPath));
  CopyToNewFile(context.platform, sourcePath, jobPath, "CreateTransferJob");
  std::string suffix = " -jobid " + jobNumber;
  context.trace.Write("Job-FIle created: " + suffix);
  return suffix;
}

std::string CreateTransferJob(ProcessContext& context, const std::string& sourcePath) {
  JobNumberSource numbers(context.platform.Machine().RandomSeed());
  return CreateTransferJob(context, sourcePath, numbers);
}

void RunTransferJob(ProcessContext& context, cTempFiles& tempFiles) {
  const std::string jobNumber = Trim(GetBetween(context.commandLine, "-jobid ", " "));
  context.trace.Write("Received 2.part transfer job: " + jobNumber);
  const std::string jobPath = JobFolder(context) + jobNumber + ".xml";
  if (!IsJobNumber(jobNumber) || !FileExists(jobPath)) {
    context.trace.Write("Job " + jobNumber + " file does not exists.");
    return;
  }

  const std::string copyPath =
      ToolFilePath(context, tempFiles.GetTempFile("xml", cTempFiles::Record::kYes));
  CopyToNewFile(context.platform, jobPath, copyPath, "RunTransferJob");
  KillFile(jobPath);  // a job file that stays behind does no harm

  // The MAC covers the copy's bytes: decoded from UTF-8 and encoded again.
  cHS256 hs(context.platform);
  const std::optional<std::string> bytes = ReadFileBytes(copyPath, kMaxDocumentFileBytes);
  if (!bytes) throw FileNotFoundError("RunTransferJob", copyPath);
  const std::string document = hs.FromUTF8(std::vector<std::uint8_t>(bytes->begin(), bytes->end()));
  try {
    HandOverToImportTool(context, {.form = CommandForm::S,
                                   .filePath = copyPath,
                                   .document = document,
                                   .tracePrefix = "Started transfer for job " + jobNumber + ": "});
  } catch (const ToolFolderError& error) {
    // The second step names the folder in words of its own.
    throw RuntimeError(error.Number(), "RunTransferJob",
                       "Cannot change to the folder " + error.Folder());
  }
}

void StripPatientArguments(ProcessContext& context) {
  std::string& line = context.commandLine;
  static constexpr const char* kMarkers[] = {"-pid1 ", "-pid2 ", "-pid3 ", "-pid4 "};
  static constexpr const char* kNextMarkerNames[] = {"-pid2", "-pid3", "-pid4"};
  for (std::size_t i = 0; i < 3; ++i) {
    const std::string marker = kMarkers[i];
    std::string value = GetBetween(line, marker, " ");
    if (value != kNextMarkerNames[i]) {
      std::string markerAndValue = marker + value;
      markerAndValue += ' ';
      line = ReplaceAll(line, markerAndValue, "");
    } else {
      // The marker has no value of its own: the next marker follows it directly.
      value.clear();
      line = ReplaceAll(line, marker, "");
    }
    context.patientValues[i] = value;
  }
  const std::string marker4 = kMarkers[3];
  context.patientValues[3] = GetBetween(line, marker4, " ");
  line = ReplaceAll(line, marker4 + context.patientValues[3] + " ", "");
  if (FindNoCase(line, marker4) != std::string::npos) line = ReplaceAll(line, marker4, "");
  line = Trim(line);
}

}  // namespace tavrin
