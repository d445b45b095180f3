#!/usr/bin/env bash
# Whole-program smoke test of the Windows plug-in: TavrinPlugin.exe runs under Wine on a
# virtual X display and is driven as a person would drive it.
#
#   bash scripts/gui-smoke.sh
#
# Lays out the sample host (examples/host, a blank in the base folder's name, the Windows
# stand-in import tool as _EXTRAS/KelsarImport.exe, a host executable stub at 3.0.2.0, the
# plug-in in _EXTRAS/KELSAR, where it finds the host as the companion of an installation,
# and the current-patient file for the computer and user that Wine reports). Then it types
# the sample export's path into the main window, presses Enter, answers the serial-number
# dialog with Enter (artificial serial number), and checks that the stand-in received the
# document with a correct check value and MAC and that the trace log ends the job. Before
# that, an export joined from an mg/dL and an mmol/L one is refused with its line named.
# Screenshots of both windows go to build/screenshots/, and of the main window at 150 % and
# 200 % (main-window-150.png, main-window-200.png).
#
# Uses its own Wine prefix (build/mingw64/wine-x11, X11 graphics driver) and its own Xvfb;
# both are stopped however the script ends. TAVRIN_GUI_SMOKE_TIMEOUT limits each wait
# (seconds, default 90).

# shellcheck disable=SC2317  # stop and cleanup run from the trap
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
build=$repo/build/mingw64
bin=$build/bin
work=$build/gui-smoke
shots=$repo/build/screenshots
limit=${TAVRIN_GUI_SMOKE_TIMEOUT:-90}
started=$SECONDS

fail() {  # with a picture of the whole screen once there is one, to show what stood open
  echo "FAIL: $*" >&2
  if [[ -n ${DISPLAY:-} ]] && mkdir -p "$shots" &&
    xwd -silent -root | xwdtopnm 2>/dev/null | pnmtopng >"$shots/failure.png"; then
    echo "Screenshot of the screen: $shots/failure.png" >&2
  fi
  exit 1
}

bash scripts/setup-debian.sh cmake ninja-build g++-mingw-w64-x86-64-posix wine wine64 \
  xvfb xdotool x11-apps netpbm locales
cmake --preset mingw64 >/dev/null
cmake --build "$build" --target TavrinPlugin standin-import-tool make-version-stub \
  -j "$(nproc 2>/dev/null || echo 2)" >/dev/null

# --- Virtual display and Wine prefix, both this script's own. Wine takes its locale from
# the C library's: a German one compiled into the build tree makes Windows German, as at a
# German host, without touching the system's locales.
xvfb_pid='' plugin_pid=''
export WINEPREFIX=$build/wine-x11 WINEDEBUG=-all LOCPATH=$build/locale
if [[ ! -d $LOCPATH/de_DE.UTF-8 ]]; then
  mkdir -p "$LOCPATH"
  localedef -i de_DE -f UTF-8 "$LOCPATH/de_DE.UTF-8" || fail "cannot compile the German locale"
fi
unset LC_ALL LC_MESSAGES LC_TIME LC_NUMERIC LC_CTYPE
export LANG=de_DE.UTF-8
stop() {  # ends a process this script started, forcibly when it ignores the request
  kill "$1" 2>/dev/null || return 0
  for ((i = 0; i < 20; i++)); do
    kill -0 "$1" 2>/dev/null || return 0
    sleep 0.1
  done
  kill -KILL "$1" 2>/dev/null || true
}
cleanup() {
  [[ -n $plugin_pid ]] && stop "$plugin_pid"
  wineserver -k 2>/dev/null
  [[ -n $xvfb_pid ]] && stop "$xvfb_pid"
  return 0
}
trap cleanup EXIT

display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
xvfb_pid=$!
for ((i = 0; i < 100; i++)); do
  [[ -s $display_file ]] && break
  sleep 0.1
done
[[ -s $display_file ]] || fail "Xvfb did not start"
DISPLAY=:$(<"$display_file")
export DISPLAY
rm -f "$display_file"

mkdir -p "$WINEPREFIX"
wineserver -p
[[ -f $WINEPREFIX/system.reg ]] || wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1 || true
# The X11 driver; with no window manager on the display, Wine draws the windows' frames and
# captions itself, so that the screenshots show them.
if ! { wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11 /f &&
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f; } >/dev/null 2>&1; then
  fail "cannot set up the X11 graphics driver in $WINEPREFIX"
fi

# --- The sample host
winpath() { echo "Z:${1//\//\\}"; }
rm -rf "$work" && mkdir -p "$work"
host="$work/Orvolux Host"
plugin_dir=$host/_EXTRAS/KELSAR
cp -R examples/host "$host"
rm -f "$host/currentpatient.template.txt" "$host/_EXTRAS/.gitkeep"
mkdir -p "$plugin_dir" "$shots"
cp "$bin/TavrinPlugin.exe" "$plugin_dir/"
cp -R "$bin/Language" "$plugin_dir/"
cp "$bin/standin-import-tool.exe" "$host/_EXTRAS/KelsarImport.exe"
wine "$bin/make-version-stub.exe" 3.0.2.0 "$(winpath "$host/Veltra Orvolux Software.exe")" ||
  fail "make-version-stub did not write the host executable"
who=$(wine cmd /c 'echo %COMPUTERNAME%_%USERNAME%' | tr -d '\r\n')
cp examples/host/currentpatient.template.txt "$plugin_dir/$who.txt"
# The bundled export is dated November 2026: no data-age question, whatever today's date.
printf '[Config]\r\nShowOldOrNewDataWarning=0\r\n' >"$plugin_dir/TavrinPlugin.ini"
echo "Host base folder: $host (current patient for $who)"

# --- The plug-in, driven through its windows
window() {  # waits for a visible window with exactly this caption and prints its id
  timeout "$limit" xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1
}
screenshot() {  # once the window has settled: Wine draws typed keys a while after xdotool
  local previous='' current i
  for ((i = 0; i < 20; i++)); do
    sleep 0.5
    current=$(xwd -silent -id "$1" | xwdtopnm 2>/dev/null | pnmtopng | base64 -w0) ||
      fail "screenshot $2 failed"
    [[ $current == "$previous" ]] && break
    previous=$current
  done
  base64 -d <<<"$current" >"$shots/$2"
  echo "Screenshot: $shots/$2"
}

wait_for_plugin() {  # waits for the plug-in to end (failing with $1 after the time limit); its status
  local i status=0
  for ((i = 0; i < limit * 10; i++)); do
    kill -0 "$plugin_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$plugin_pid" 2>/dev/null && fail "$1"
  wait "$plugin_pid" || status=$?
  plugin_pid=''
  return "$status"
}

# Two exports joined into one file, the second in mmol/L: the plug-in names the line and
# hands nothing over; the window stays and is closed with Esc.
joined=$work/joined-export.csv
{
  head -n 4 examples/sample-export.csv
  head -n 1 examples/sample-export.csv | sed 's|Glucose (mg/dL)|Glucose (mmol/L)|'
  printf '09.11.2026;12:00;CET;5,5;;;;;;;;;;;;;;;;;\r\n'
} >"$joined"
(cd "$plugin_dir" && exec wine TavrinPlugin.exe) &
plugin_pid=$!
main=$(window 'Tavrin Plugin for Orvolux') || true
[[ -n $main ]] || fail "the main window 'Tavrin Plugin for Orvolux' did not appear within ${limit}s"
xdotool windowfocus --sync "$main" 2>/dev/null || true
xdotool type --delay 15 "$(winpath "$joined")"
xdotool key Return
refusal=$(window 'TavrinPlugin') || true
[[ -n $refusal ]] || fail "no message named the second header of $joined"
screenshot "$refusal" joined-export.png
xdotool key Return
xdotool windowfocus --sync "$main" 2>/dev/null || true
xdotool key Escape
wait_for_plugin "Esc did not close the main window after the refusal" || true
[[ -e $host/standin-received.log ]] && fail "the joined export was handed over"

(cd "$plugin_dir" && exec wine TavrinPlugin.exe) &
plugin_pid=$!
main=$(window 'Tavrin Plugin for Orvolux') || true
[[ -n $main ]] || fail "the main window 'Tavrin Plugin for Orvolux' did not appear within ${limit}s"
xdotool windowfocus --sync "$main" 2>/dev/null || true
xdotool type --delay 15 "$(winpath "$repo/examples/sample-export.csv")"
screenshot "$main" main-window.png
xdotool key Return

dialog=$(window 'Seriennummer-Eingabe') || true
[[ -n $dialog ]] || fail "the serial-number dialog 'Seriennummer-Eingabe' did not appear within ${limit}s"
screenshot "$dialog" serial-dialog.png
xdotool key Return

plugin_status=0
wait_for_plugin "the plug-in did not end within ${limit}s" || plugin_status=$?

# --- What the stand-in import tool received
log=$host/standin-received.log
[[ -s $log ]] || fail "the import tool was never called (plug-in exit status $plugin_status)"
field() { tr '\t' '\n' <<<"$1" | sed -n "s/^$2=//p"; }
line=$(head -n 1 "$log")
verdict="$(field "$line" check_ok) $(field "$line" mac_ok) $(field "$line" cwd_ok) $(field "$line" exit)"
echo "Import tool received: $(field "$line" kind), $(field "$line" records) records," \
  "serial number $(field "$line" sn); check_ok mac_ok cwd_ok exit: $verdict"
status=0
[[ $(field "$line" kind) == xml ]] || { echo "FAIL: the document handed over is not XML" >&2; status=1; }
[[ $verdict == 'yes yes yes 0' ]] || { echo "FAIL: the import tool refused the hand-over" >&2; status=1; }
((plugin_status == 0)) || { echo "FAIL: the plug-in ended with status $plugin_status" >&2; status=1; }
trace=$(find "$plugin_dir/cfg" -name tVtrace.log 2>/dev/null | head -n 1)
grep -qF 'Job completed.' "${trace:-/dev/null}" ||
  { echo "FAIL: the trace log (${trace:-missing}) does not say 'Job completed.'" >&2; status=1; }
((status == 0)) || exit 1

# --- The main window at 150 % and 200 %: the screen's DPI for new processes, then closed
# with Esc. Back to 100 % afterwards, as the next run of this script expects.
set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1 ||
    fail "cannot set the screen's DPI to $1"
}
trap 'set_dpi 96; cleanup' EXIT
for scale in 150 200; do
  set_dpi $((96 * scale / 100))
  (cd "$plugin_dir" && exec wine TavrinPlugin.exe) &
  plugin_pid=$!
  main=$(window 'Tavrin Plugin for Orvolux') || true
  [[ -n $main ]] || fail "the main window did not appear at ${scale} %"
  screenshot "$main" "main-window-$scale.png"
  xdotool windowfocus --sync "$main" 2>/dev/null || true
  xdotool key Escape
  wait_for_plugin "Esc did not close the main window at ${scale} %" || true
done
echo "GUI smoke test passed in $((SECONDS - started)) s."
