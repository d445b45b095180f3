#pragma once

#include <array>
#include <string>
#include <string_view>

namespace tavrin {

class ProcessContext;

// Settles a serial number for an import whose data carry none: proposes an artificial one
// for the patient the host named on the command line or has open, or asks the user to
// type one. Returns the serial number ("unknown" for an empty manual entry, empty when
// nothing was settled) and leaves context.dialogResult as the last dialog set it; kCancel
// means the user gave up and the import ends. Choosing to open the patient in the host
// first ends the program (ProgramEnded).
std::string ResolveSerialNumber(ProcessContext& context);

// Records that the patient's data are filed under the serial number and returns the key
// actually used. When the store already gives the serial number to another patient, the
// candidates serial + "0", serial + "-1", serial + "-2", ... are tried in turn; the first
// one that is free or already the patient's is used. Raises RuntimeError when none of
// kMaxSerialCandidates candidates is.
std::string MapSerialToPatient(ProcessContext& context, const std::string& patientId,
                               const std::string& serial);
inline constexpr int kMaxSerialCandidates = 1000;

// The patient identifier of a host diary file name: the name without its extension (the
// part from the last "." on); a name without "." is used whole.
std::string PatientIdentifier(std::string_view diaryFileName);

// A stable identifier for a patient named by the four command-line values (last name,
// first name, birth date, external number): "cl:" and the values joined by "|", in lower
// case, so that the same patient spelled in another letter case stays the same patient.
std::string CommandLinePatientIdentifier(const std::array<std::string, 4>& patientValues);

// Ten upper-case hexadecimal digits derived from the patient identifier.
std::string ArtificialSerialNumber(std::string_view patientId);

// The host's description of its open patient: base folder + "_Extras", "KELSAR",
// computer + "_" + user + ".txt", each found without regard to case.
std::string CurrentPatientFilePath(ProcessContext& context);
// The serial-number mapping store "KELSAR Relay.rly" in the configuration folder.
std::string SerialMappingStorePath(ProcessContext& context);

}  // namespace tavrin
