#!/usr/bin/env bash
# Fails when a C++ file differs from the layout .clang-format gives it, and names the
# lines. Reformat with: clang-format -i <file>.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-debian.sh clang-format

find src tests tools bench fuzz -type f \( -name '*.cpp' -o -name '*.h' \) -print0 |
  sort -z | xargs -0 clang-format --dry-run -Werror
echo "format: every C++ file as .clang-format lays it out"
