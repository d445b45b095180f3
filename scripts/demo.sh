#!/usr/bin/env bash
# The main job: builds the plug-in and converts the bundled sample export, handing the host
# XML document to a stand-in host installation laid out in a temporary work folder.
#
#   bash scripts/demo.sh
#
# Steps: install the missing Debian packages, build the release programs, lay out the
# sample host (examples/host with the plug-in in _EXTRAS/KELSAR, the stand-in import tool
# as _EXTRAS/KelsarImport.exe and a host executable stub at version 3.0.2.0), run the
# terminal front end with scripted answers (type the export's path, start, create an
# artificial serial number for the open patient), then show what the import tool received
# and the plug-in's trace log; then write the sample's import report (an HTML page) with
# tavrin-convert --report and print its path. Ends with a non-zero status when the
# hand-over failed or the report was not written.
#
# TAVRIN_DEMO_BUILD_DIR overrides the build folder (default build/release).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

fail() {
  echo >&2
  echo "DEMO FAILED: $*" >&2
  exit 1
}

echo "=== Preparing the machine"
bash scripts/setup-debian.sh

build_dir=${TAVRIN_DEMO_BUILD_DIR:-$repo/build/release}
jobs=$(nproc 2>/dev/null || echo 2)
echo "=== Building (release) in $build_dir"
cmake --preset release -B "$build_dir" >/dev/null
cmake --build "$build_dir" -j "$jobs" \
  --target TavrinPlugin tavrin-convert standin-import-tool make-version-stub
bin=$build_dir/bin
for program in TavrinPlugin standin-import-tool make-version-stub; do
  [[ -x $bin/$program ]] || fail "the build did not produce $bin/$program"
done
[[ -d $bin/Language ]] || fail "the build did not produce $bin/Language"

echo "=== Laying out the sample host"
work=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-demo.XXXXXX")
host=$work/host
plugin_dir=$host/_EXTRAS/KELSAR
cp -R examples/host "$host"
rm -f "$host/currentpatient.template.txt" "$host/_EXTRAS/.gitkeep"
mkdir -p "$plugin_dir"
cp "$bin/TavrinPlugin" "$plugin_dir/"
cp -R "$bin/Language" "$plugin_dir/"
cp "$bin/standin-import-tool" "$host/_EXTRAS/KelsarImport.exe"
"$bin/make-version-stub" 3.0.2.0 "$host/Veltra Orvolux Software.exe"
computer=$(uname -n)
user=$(id -un)
cp examples/host/currentpatient.template.txt "$plugin_dir/${computer}_${user}.txt"
# The bundled export is dated November 2026; the data-age warning is switched off so that
# the demo asks the same questions whatever today's date is.
printf '[Config]\r\nShowOldOrNewDataWarning=0\r\n' >"$plugin_dir/TavrinPlugin.ini"
mkdir -p "$work/home/.config" "$work/tmp"
echo "Host base folder: $host"

echo "=== Running the plug-in (answers: export path, 2 = start, 1 = artificial serial number)"
export_file=$repo/examples/sample-export.csv
set +e
printf '%s\n2\n1\n' "$export_file" |
  (cd "$work" && env -u LC_ALL -u LC_MESSAGES -u LC_TIME -u LC_NUMERIC \
    HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" TMPDIR="$work/tmp" \
    LANG=de_DE.UTF-8 "$plugin_dir/TavrinPlugin")
plugin_status=$?
set -e

log=$host/standin-received.log
trace=$(find "$plugin_dir/cfg" -name tVtrace.log 2>/dev/null | head -n 1)

echo
echo "=== Trace log of the plug-in (${trace:-none})"
[[ -n $trace ]] && cat "$trace"

echo
echo "=== What the import tool received ($log)"
[[ -s $log ]] || fail "the import tool was never called (plug-in exit status $plugin_status)"
field() { tr '\t' '\n' <<<"$1" | sed -n "s/^$2=//p"; }
ok=1
while IFS= read -r line; do
  kind=$(field "$line" kind)
  [[ $kind == followup ]] && continue
  records=$(field "$line" records)
  [[ $kind == json ]] && records="$(field "$line" readings) CGM elements"
  echo "  document:      $kind $(field "$line" file)"
  echo "  records:       $records"
  echo "  serial number: $(field "$line" sn)"
  echo "  check value:   $(field "$line" check) (matches the document: $(field "$line" check_ok))"
  echo "  MAC verified:  $(field "$line" mac_ok)"
  echo "  exit code:     $(field "$line" exit) ($(field "$line" result))"
  [[ $(field "$line" check_ok) == yes && $(field "$line" mac_ok) == yes &&
    $(field "$line" exit) == 0 ]] || ok=0
done <"$log"

((plugin_status == 0)) || fail "the plug-in ended with status $plugin_status"
((ok)) || fail "the import tool refused the hand-over (see the lines above)"

echo
echo "=== The import report of the sample"
report=$work/sample-report.html
"$bin/tavrin-convert" --quiet --regional de -o "$work/sample-export.xml" --report "$report" \
  "$export_file" 2>/dev/null || fail "tavrin-convert could not write the report"
[[ -s $report ]] || fail "the report $report was not written"
echo "  readings drawn: $(grep -o '<circle class="reading' "$report" | wc -l)," \
  "size: $(stat -c %s "$report") bytes"
echo "Report: $report"
echo
echo "Demo complete: the host document was handed over and verified. Work folder: $work"
# The Windows packages are built by scripts/package-windows.sh, not here.
shopt -s nullglob
windows_packages=("$repo"/build/packages/TavrinPlugin-*)
if ((${#windows_packages[@]})); then
  echo
  echo "Windows packages (zips, installers and MSIs, from scripts/package-windows.sh):"
  printf '  %s\n' "${windows_packages[@]}"
fi
