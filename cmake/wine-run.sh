#!/bin/sh
# Runs a Windows program under Wine in the build tree's private prefix (build/wine unless
# WINEPREFIX says otherwise), so that no test touches the user's own Wine set-up.
here=$(cd "$(dirname "$0")/.." && pwd)
: "${WINEPREFIX:=$here/build/wine}"
: "${WINEDEBUG:=-all}"
export WINEPREFIX WINEDEBUG
exec wine "$@"
