#!/usr/bin/env bash
# Fails when clang-tidy, with the checks in .clang-tidy, finds anything in the portable core
# (src/shared, src/platform with its POSIX back end, src/formats, src/importer, src/handover,
# src/app) or in the project headers those include. The Win32 back end and front end are
# left out: their compile commands come only from the MinGW cross-build. The compile
# commands come from the configure step alone of the `tidy` preset (build/tidy); nothing is
# built. Runs on as many files at a time as there are cores.
set -euo pipefail
cd "$(dirname "$0")/.."

# What the configure step needs (compiler, CMake, Ninja, the OpenSSL headers), and clang-tidy.
bash scripts/setup-debian.sh cmake ninja-build g++ libssl-dev clang-tidy

cmake --preset tidy >/dev/null

jobs=$(nproc 2>/dev/null || echo 2)
files=()
for folder in shared platform platform/posix formats importer handover app; do
  files+=(src/"$folder"/*.cpp)
done

# Each file's report is printed whole; a finding or a file that does not compile fails the
# run after every file has been checked.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
printf '%s\0' "${files[@]}" |
  xargs -0 -n 1 -P "$jobs" sh -c 'out=$(clang-tidy -p build/tidy --quiet "$1" 2>&1) ||
    { printf "%s\n" "$out"; exit 1; }' sh >"$log" || status=$?
if ((status)); then
  # A finding in a header comes once from every file that includes it: each is shown once.
  awk '/ warnings? (generated|treated as errors)\.$/ { next }
       /^[^ ]+:[0-9]+:[0-9]+: (error|warning): / { show = !seen[$0]++ }
       show { print }' "$log"
  echo "tidy: clang-tidy found something in the files above (checks in .clang-tidy)" >&2
  exit 1
fi
echo "tidy: ${#files[@]} files of the portable core clean under .clang-tidy"
