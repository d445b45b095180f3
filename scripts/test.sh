#!/usr/bin/env bash
# Checks the C++ layout (scripts/check-format.sh) and runs clang-tidy over the portable core
# (scripts/check-tidy.sh), builds the project and runs every test once, under
# AddressSanitizer and UndefinedBehaviorSanitizer (a debug build with the same warnings as
# errors), the import report of the bundled sample in headless Chromium
# (scripts/test-report-browser.sh), then the importer's tests, which run the export reader
# and the conversion on two threads, under ThreadSanitizer; then the Windows cross-builds,
# whose tests run under Wine, and the Windows packages with their installer test
# (scripts/test-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-debian.sh

jobs=$(nproc 2>/dev/null || echo 2)

echo "=== format ==="
bash scripts/check-format.sh

echo "=== tidy ==="
bash scripts/check-tidy.sh

echo "=== asan ==="
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"

echo "=== import report in a browser ==="
bash scripts/test-report-browser.sh build/asan

echo "=== tsan (importer) ==="
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$jobs" --target tests_importer
TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1" build/tsan/tests/tests_importer --gtest_brief=1

echo "=== windows ==="
bash scripts/test-windows.sh
