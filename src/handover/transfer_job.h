#pragma once

#include <cstdint>
#include <random>
#include <string>

namespace tavrin {

class ProcessContext;
class cTempFiles;

// Draws job numbers: nine-digit numbers from 100000000 to 999999999, uniformly, from a
// generator seeded by the platform. The caller owns it for as long as it creates jobs.
class JobNumberSource {
 public:
  explicit JobNumberSource(std::uint64_t seed) : generator_(seed) {}
  std::uint32_t Next() { return distribution_(generator_); }

 private:
  std::mt19937_64 generator_;
  std::uniform_int_distribution<std::uint32_t> distribution_{100000000, 999999999};
};

// The folder that holds the parked job files: "jobs" below the program's folder, with a
// trailing separator.
std::string JobFolder(ProcessContext& context);

// Parks a finished XML import file as a transfer job: copies it to a fresh job file in the
// job folder (created when missing) and returns the job suffix " -jobid " + job number for
// the JSON call. A failing copy raises RuntimeError.
std::string CreateTransferJob(ProcessContext& context, const std::string& sourcePath,
                              JobNumberSource& numbers);
// The same with a generator seeded from the platform for this one job.
std::string CreateTransferJob(ProcessContext& context, const std::string& sourcePath);

// The second step of a transfer job, for the job number after "-jobid " on the command
// line: moves the job file to a recorded temporary file and hands it to the import tool
// (short form), waiting for the tool's end. Only numbers CreateTransferJob can draw are
// accepted, so the command line cannot name any other file. A missing job leaves a trace
// line and nothing else.
void RunTransferJob(ProcessContext& context, cTempFiles& tempFiles);

// Takes "-pid1 " to "-pid4 " and their values out of the command line into the four
// patient values, then trims the command line.
void StripPatientArguments(ProcessContext& context);

}  // namespace tavrin
