#!/usr/bin/env bash
# Builds the libFuzzer targets and fuzzes them one after another, with one worker each.
#
#   fuzz/campaign.sh [target ...]      e.g. fuzz/campaign.sh fuzz_date_time fuzz_ini_file
#
#   RUNS      executions per target (default 10000000)
#   MAX_TIME  seconds per target at most, 0 for no limit (default 0)
#   NO_BUILD  set to 1 to use the binaries as they are
#
# New inputs go to build/fuzz-campaign/<target>/; afterwards the saved corpus
# fuzz/corpus/<target>/ is rebuilt by a merge: the hand-written seeds (files not named by
# a hash) are always kept, and of the rest only what adds coverage (edges). Logs and any crash,
# leak, timeout or out-of-memory reproducer are in build/fuzz-campaign/ too. Shrink a
# reproducer with `build/fuzz/fuzz/<target> -minimize_crash=1 -max_total_time=60
# -exact_artifact_path=<out> <reproducer>` and keep it in the target's corpus under a name
# that says what it holds.
set -euo pipefail
cd "$(dirname "$0")/.."

RUNS=${RUNS:-10000000}
MAX_TIME=${MAX_TIME:-0}
OUT=build/fuzz-campaign
BIN=build/fuzz/fuzz

# The longest input per target. The export reader and the row conversion parse whole
# files and write documents: 2 KiB hold a full 36-column header (UTF-16 too) with a dozen
# rows, 1 KiB some forty row-text lines, which reach every rule, while every doubling of
# the length roughly halves the executions per second. A date, a command line or a JSON
# entry sequence (three bytes an entry) needs far less.
declare -A MAX_LEN=(
  [fuzz_date_time]=64
  [fuzz_command_line]=256
  [fuzz_json_writer]=256
  [fuzz_version_resource]=2048
  [fuzz_language_file]=1024
  [fuzz_row_conversion]=1024
  [fuzz_export_reader]=2048
  [fuzz_ini_file]=1024
)
ALL=(fuzz_date_time fuzz_command_line fuzz_json_writer fuzz_version_resource
     fuzz_language_file fuzz_row_conversion fuzz_export_reader fuzz_ini_file)

# ASan's default quarantine (256 MB) hands every allocation fresh pages, and the page
# faults cost these small inputs up to half of their time; 16 MB still holds back the
# memory an input frees while that input runs.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16}

if [[ ${NO_BUILD:-0} != 1 ]]; then
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j2
fi
mkdir -p "$OUT"

for target in "${@:-${ALL[@]}}"; do
  max_len=${MAX_LEN[$target]:?unknown target $target}
  corpus=fuzz/corpus/$target
  scratch=$OUT/$target
  log=$OUT/$target.log
  # The export reader's two-thread runs leave the process's resident size growing by
  # about 10 MB per 100,000 executions while the live heap stays near 30 MB (ASan's
  # per-thread memory, not a leak); 4 GB leave room for 10 million of them.
  options=(-max_len="$max_len" -timeout=20 -rss_limit_mb=4096 -print_final_stats=1
           -artifact_prefix="$OUT/$target-")
  [[ -f fuzz/$target.dict ]] && options+=(-dict="fuzz/$target.dict")
  mkdir -p "$scratch"

  status=0
  "$BIN/$target" "${options[@]}" -runs="$RUNS" -max_total_time="$MAX_TIME" \
    "$scratch" "$corpus" >"$log" 2>&1 || status=$?

  # libFuzzer's last status line ("#N DONE cov: .. ft: ..") and its final statistics.
  last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  per_second=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  echo "$target: executions ${executions:-?}, per second ${per_second:-?}, cov ${cov:-?}, ft ${ft:-?}"
  if [[ $status != 0 ]]; then
    echo "$target: FINDING (exit $status), see $log and $OUT/$target-*"
  fi

  merged=$OUT/$target.merged
  rm -rf "$merged" && mkdir -p "$merged"
  find "$corpus" -maxdepth 1 -type f -regextype posix-extended ! -regex '.*/[0-9a-f]{40}' -exec cp {} "$merged" \;
  # Edges only, not hit counts: the same coverage in about a third of the files, which
  # keeps the replays in CI short.
  "$BIN/$target" -merge=1 -use_counters=0 -max_len="$max_len" "$merged" "$corpus" "$scratch" \
    >"$log.merge" 2>&1
  rm -rf "$corpus" && mv "$merged" "$corpus"
  echo "$target: corpus $(find "$corpus" -type f | wc -l) files"
done
