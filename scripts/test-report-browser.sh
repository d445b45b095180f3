#!/usr/bin/env bash
# Opens the import report of the bundled sample in a real browser: headless Chromium
# renders it to a PNG, dumps its DOM and prints it to PDF (A4), whose pages pdftoppm turns
# into PNGs (sample-report-page-N.png). Fails when the browser reports a console message
# or a failed load, when the glucose chart does not hold one point per glucose value of
# the sample, when the range bar has not its five parts or the daily profile no bands, or
# when the first printed page does not hold the summary and the profile with the rest
# following. Skipped, with a message saying so, only where Chromium cannot be installed.
#
#   bash scripts/test-report-browser.sh [BUILD_DIR]    (default build/debug)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
# An absolute folder: the page is opened by a file:// address.
build_dir=$(cd "${1:-$repo/build/debug}" && pwd)

if ! bash scripts/setup-debian.sh chromium; then
  echo "SKIPPED: the browser check of the import report: Chromium cannot be installed here"
  exit 0
fi
browser=$(command -v chromium || true)
if [[ -z $browser ]]; then
  echo "SKIPPED: the browser check of the import report: no chromium program after installing"
  exit 0
fi

bash scripts/setup-debian.sh poppler-utils
cmake --build "$build_dir" --target tavrin-convert -j 2 >/dev/null
out=$build_dir/report-browser
rm -rf "$out"
mkdir -p "$out"
sample=$repo/examples/sample-export.csv
"$build_dir/bin/tavrin-convert" --quiet --regional de -o "$out/sample.xml" \
  --report "$out/sample-report.html" "$sample" 2>/dev/null
page=$out/sample-report.html
[[ -s $page ]] || { echo "FAILED: no report was written"; exit 1; }

# The profile and caches stay in the build folder; root needs --no-sandbox.
run_browser() {
  timeout 120 "$browser" --headless --no-sandbox --disable-gpu --no-first-run \
    --user-data-dir="$out/profile" --enable-logging=stderr --v=0 "$@" "file://$page"
}
run_browser --window-size=1240,1754 --screenshot="$out/sample-report.png" \
  >"$out/screenshot.log" 2>"$out/screenshot.err"
run_browser --dump-dom >"$out/dom.html" 2>"$out/dom.err"
run_browser --no-pdf-header-footer --print-to-pdf="$out/sample-report.pdf" \
  >"$out/print.log" 2>"$out/print.err"

failed=0
[[ -s $out/sample-report.png ]] || { echo "FAILED: no screenshot"; failed=1; }
# Console output of the page, failed loads and blocked resources; the browser's own
# complaints about a missing system bus and the like are no concern of the page.
if grep -h -E 'CONSOLE|Uncaught|Failed to load|net::ERR_|Refused to' "$out"/*.err; then
  echo "FAILED: the browser reported errors for the page (above)"
  failed=1
fi
expected=$(awk -F';' 'NR > 1 && $4 != ""' "$sample" | wc -l)
points=$(grep -o '<circle class="reading' "$out/dom.html" | wc -l)
overlay=$(grep -o '<circle class="overlay' "$out/dom.html" | wc -l)
echo "Report: $page"
echo "Screenshot: $out/sample-report.png ($(stat -c %s "$out/sample-report.png" 2>/dev/null || echo 0) bytes)"
echo "Chart points in the DOM: $points over time, $overlay by time of day (glucose values in the sample: $expected)"
if ((points != expected || overlay != expected)); then
  echo "FAILED: the charts do not hold one point per glucose value"
  failed=1
fi
ranges=$(grep -o '<rect class="range r' "$out/dom.html" | wc -l)
outer=$(grep -o '<polygon class="agp-outer"' "$out/dom.html" | wc -l)
inner=$(grep -o '<polygon class="agp-inner"' "$out/dom.html" | wc -l)
median=$(grep -o '<polyline class="agp-median"' "$out/dom.html" | wc -l)
echo "Range bar parts: $ranges; daily profile: $outer outer and $inner inner bands, $median median lines"
if ((ranges != 5 || outer == 0 || outer != inner || inner != median)); then
  echo "FAILED: the range bar needs its five parts and the profile one outer band, inner band and median per run of hours"
  failed=1
fi
pages=$(pdfinfo "$out/sample-report.pdf" 2>/dev/null | awk '/^Pages:/ {print $2}')
pdftoppm -r 80 -png "$out/sample-report.pdf" "$out/sample-report-page"
first=$(pdftotext -f 1 -l 1 "$out/sample-report.pdf" - 2>/dev/null)
echo "Printed: $out/sample-report.pdf, ${pages:-0} A4 pages ($(ls "$out"/sample-report-page-*.png 2>/dev/null | wc -l) page pictures)"
if [[ -z $pages ]] || ((pages < 2)) ||
   ! grep -q -E 'Tagesprofil|Daily profile' <<<"$first" || grep -q -E '^(Anzahlen|Counts)$' <<<"$first"; then
  echo "FAILED: the first printed page must hold the summary and the daily profile, the rest following"
  failed=1
fi
((failed == 0)) && echo "Browser check of the import report passed."
exit "$failed"
