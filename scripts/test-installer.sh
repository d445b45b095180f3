#!/usr/bin/env bash
# Tries out the packages that scripts/package-windows.sh wrote to build/packages/:
#
#   bash scripts/test-installer.sh
#
# The win64 installer runs under Wine in a prefix of its own (build/wine-installer):
# a silent installation into a chosen folder, the installed files compared with the
# staged ones, the uninstall entry, the installed converter's --version, then a silent
# uninstallation after which neither the folder nor the entry may be left. The win32
# installer cannot run here (no 32-bit Wine), so it and the win32 programs are only checked
# to be i386 Windows executables; both zips are checked to hold the staged files.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

bash scripts/setup-debian.sh wine wine64 zip file

fail() {
  echo "INSTALLER TEST FAILED: $*" >&2
  exit 1
}

version=$(sed -n 's/^project(TavrinPlugin VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
packages=$repo/build/packages
stage=$repo/build/package-stage
for arch in win32 win64; do
  for f in "$packages/TavrinPlugin-$version-$arch.zip" \
    "$packages/TavrinPlugin-$version-setup-$arch.exe"; do
    [[ -f $f ]] || fail "$f is missing; run scripts/package-windows.sh first"
  done
done

echo "=== Zips and executable formats"
expect_format() {  # file, pattern that `file` must print
  local described
  described=$(file -b "$1")
  [[ $described =~ $2 ]] || fail "$1 is not a $2 executable: $described"
  echo "  ${1#"$repo"/}: $described"
}
for arch in win32 win64; do
  listed=$(zip -sf "$packages/TavrinPlugin-$version-$arch.zip" | sed -n 's/^  //p' | grep -v '/$' |
    sort)
  staged=$(cd "$stage/$arch/files" && find . -type f | sed 's|^\./||' | sort)
  [[ $listed == "$staged" ]] || fail "the $arch zip does not hold the staged files: $listed"
done
expect_format "$packages/TavrinPlugin-$version-setup-win32.exe" 'PE32 executable.*Intel 80386'
expect_format "$stage/win32/files/TavrinPlugin.exe" 'PE32 executable \(GUI\).*Intel 80386'
expect_format "$stage/win32/files/tavrin-convert.exe" 'PE32 executable \(console\).*Intel 80386'
expect_format "$packages/TavrinPlugin-$version-setup-win64.exe" 'PE32\+ executable.*x86-64'

# A prefix of this test's own; its server stays up for the whole test and is ended, for
# this prefix only, however the test ends.
export WINEPREFIX=$repo/build/wine-installer WINEDEBUG=-all
mkdir -p "$WINEPREFIX"
wineserver -p 2>/dev/null || true  # a server left by an interrupted run serves as well
trap 'wineserver -k 2>/dev/null || true' EXIT
wineboot -i >/dev/null 2>&1

install_win='C:\Orvolux Test\Plugins'
install_dir=$WINEPREFIX/drive_c/Orvolux\ Test/Plugins
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\TavrinPlugin'
uninstaller=TavrinPlugin-uninstall.exe
reg_value() { wine reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_SZ *//p"; }
# What an earlier, broken run may have left.
rm -rf "$WINEPREFIX/drive_c/Orvolux Test"
wine reg delete "$key" /f >/dev/null 2>&1 || true

echo "=== win64 installer: silent installation into $install_win"
# The installer takes /D= unquoted, as the last argument, spaces and all; Wine would quote
# an argument with blanks, so cmd gets the command line as one text.
(cd "$packages" && wine cmd /c "TavrinPlugin-$version-setup-win64.exe /S /D=$install_win") ||
  fail "the installer ended with status $?"
[[ -f $install_dir/$uninstaller ]] || fail "no uninstaller in $install_dir"
diff -r -x "$uninstaller" "$stage/win64/files" "$install_dir" ||
  fail "the installed files differ from the staged ones"
[[ $(reg_value InstallLocation) == "$install_win" ]] || fail "uninstall entry: no InstallLocation"
[[ $(reg_value DisplayVersion) == "$version" ]] || fail "uninstall entry: no DisplayVersion"
echo "  files and uninstall entry in place"

grep -q '^CreateReport=1' "$install_dir/TavrinPlugin.ini" &&
  fail "the import report is switched on although it was not chosen"

echo "=== The installed converter"
converter_says=$(cd "$install_dir" && wine ./tavrin-convert.exe --version | tr -d '\r')
echo "  $converter_says"
[[ $converter_says == "tavrin-convert $version" ]] || fail "unexpected --version output"

echo "=== win64 uninstaller: silent"
# The uninstaller copies itself to TEMP, starts the copy and returns at once, as it does
# when Windows runs the uninstall entry; the copy's work is awaited here.
wine "$install_dir/$uninstaller" /S || fail "the uninstaller ended with status $?"
for _ in $(seq 60); do
  [[ ! -e $install_dir ]] && ! wine reg query "$key" >/dev/null 2>&1 && break
  sleep 1
done
if [[ -e $install_dir ]]; then
  fail "left behind in $install_dir: $(cd "$install_dir" && find . -mindepth 1 | tr '\n' ' ')"
fi
wine reg query "$key" >/dev/null 2>&1 && fail "the uninstall entry $key is left"
echo "  folder and uninstall entry removed"

echo "=== win64 installer with the import report chosen (/REPORT)"
(cd "$packages" && wine cmd /c "TavrinPlugin-$version-setup-win64.exe /S /REPORT /D=$install_win") ||
  fail "the installer ended with status $?"
tr -d '\r' <"$install_dir/TavrinPlugin.ini" | sed -n '/^\[Config\]/,/^\[/p' | grep -q '^CreateReport=1$' ||
  fail "the chosen import report is not switched on in TavrinPlugin.ini"
echo "  CreateReport=1 in [Config]"
wine "$install_dir/$uninstaller" /S || fail "the uninstaller ended with status $?"
for _ in $(seq 60); do
  [[ ! -e $install_dir ]] && break
  sleep 1
done
echo "Installer test passed."
