#!/usr/bin/env bash
# Tries out the packages that scripts/package-windows.sh wrote to build/packages/:
#
#   bash scripts/test-installer.sh
#
# The win64 installer runs under Wine in a prefix of its own (build/wine-installer):
# a silent installation into a chosen folder, the installed files compared with the
# staged ones, the uninstall entry (publisher, size), the installed converter's
# --version, then a silent uninstallation after which neither the folder nor the entry
# may be left. Then two installations in two folders, one with the import report: two
# entries; uninstalling one keeps its changed TavrinPlugin.ini and leaves the other
# installation alone, which uninstalls without a trace. The win64 MSI installs silently
# with msiexec into a Plugins folder given as the property, beside another plug-in's file,
# and uninstalls leaving only that file. The win32 installer cannot run here (no 32-bit
# Wine), so it, its MSI and the win32 programs are only checked for their architecture;
# both zips and MSIs are checked to hold the staged files. Last, scripts/test-signing.sh
# packs with a throwaway certificate and verifies every signature.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

bash scripts/setup-debian.sh wine wine64 zip file msitools

fail() {
  echo "INSTALLER TEST FAILED: $*" >&2
  exit 1
}

version=$(sed -n 's/^project(TavrinPlugin VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
packages=$repo/build/packages
stage=$repo/build/package-stage
for arch in win32 win64; do
  for f in "$packages/TavrinPlugin-$version-$arch.zip" \
    "$packages/TavrinPlugin-$version-setup-$arch.exe" "$packages/TavrinPlugin-$version-$arch.msi"; do
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
  # The MSI's file table names each staged file once (its directory aside).
  msi=$packages/TavrinPlugin-$version-$arch.msi
  in_msi=$(msiinfo export "$msi" File | tail -n +4 | cut -f3 | sed 's/.*|//' | sort)
  [[ $in_msi == "$(for f in $staged; do echo "${f##*/}"; done | sort)" ]] ||
    fail "the $arch MSI does not hold the staged files: $in_msi"
done
[[ $(msiinfo suminfo "$packages/TavrinPlugin-$version-win32.msi") =~ Template:\ Intel\; ]] ||
  fail "the win32 MSI is not an x86 package"
[[ $(msiinfo suminfo "$packages/TavrinPlugin-$version-win64.msi") =~ Template:\ x64\; ]] ||
  fail "the win64 MSI is not an x64 package"
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

uninstall_root='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall'
uninstaller=TavrinPlugin-uninstall.exe
install_win='C:\Orvolux Test\Plugins'
install_dir=$WINEPREFIX/drive_c/Orvolux\ Test/Plugins
second_win='C:\Orvolux Test\Second host\Plugins'
second_dir=$WINEPREFIX/drive_c/Orvolux\ Test/Second\ host/Plugins
# The plug-in's uninstall entries (their full key names), one a line.
entries() {
  wine reg query "$uninstall_root" 2>/dev/null | tr -d '\r' | grep -i '\\Uninstall\\TavrinPlugin' || true
}
# The entry whose InstallLocation is the given folder, empty when there is none.
entry_of() {
  local k
  for k in $(entries); do
    [[ $(reg_value "$k" InstallLocation REG_SZ) == "$1" ]] && echo "$k"
  done
  return 0
}
# A `wine reg` call now and then fails on a busy machine although the value is there, so
# an empty answer is asked again a few times before it counts.
reg_value() {  # key, value name, type
  local value
  for _ in 1 2 3 4 5; do
    value=$(wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *$3 *//p")
    [[ -n $value ]] && break
    sleep 1
  done
  printf '%s' "$value"
}
# Every entry with all its values, for a failure message.
entries_in_full() {
  local k
  for k in $(entries); do wine reg query "$k" 2>&1 | tr -d '\r'; done
}
# The uninstaller copies itself to TEMP, starts the copy and returns at once, as it does
# when Windows runs the uninstall entry; the copy's work (the uninstaller gone, the entry
# gone) is awaited here.
uninstall() {  # folder (Unix), entry
  wine "$1/$uninstaller" /S || fail "the uninstaller ended with status $?"
  for _ in $(seq 60); do
    [[ ! -e $1/$uninstaller ]] && ! wine reg query "$2" >/dev/null 2>&1 && return 0
    sleep 1
  done
  fail "the uninstaller in $1 did not finish within a minute"
}
install() {  # options and folder (Windows) as the installer takes them
  # The installer takes /D= unquoted, as the last argument, spaces and all; Wine would
  # quote an argument with blanks, so cmd gets the command line as one text.
  (cd "$packages" && wine cmd /c "TavrinPlugin-$version-setup-win64.exe /S $1") ||
    fail "the installer ended with status $?"
}
installed_like_staged() {  # folder (Unix), more diff options
  [[ -f $1/$uninstaller ]] || fail "no uninstaller in $1"
  diff -r -x "$uninstaller" -x TavrinPlugin.ini.installed "${@:2}" "$stage/win64/files" "$1" ||
    fail "the files installed in $1 differ from the staged ones"
}
# What an earlier, broken run may have left.
rm -rf "$WINEPREFIX/drive_c/Orvolux Test" "$WINEPREFIX/drive_c/Orvolux MSI"
for old in "$packages/TavrinPlugin-$version-win64.msi" "$WINEPREFIX/TavrinPlugin-9.9.9-win64.msi"; do
  if [[ -f $old ]]; then wine msiexec /x "$old" /qn >/dev/null 2>&1 || true; fi
done
for k in $(entries); do wine reg delete "$k" /f >/dev/null 2>&1 || true; done

echo "=== win64 installer: silent installation into $install_win"
# The single entry earlier builds wrote is replaced by the folder's own when it names the folder.
wine reg add "$uninstall_root\TavrinPlugin" /v InstallLocation /d "$install_win" /f >/dev/null
install "/D=$install_win"
wine reg query "$uninstall_root\TavrinPlugin" >/dev/null 2>&1 && fail "the old single entry is left"
installed_like_staged "$install_dir"
key=$(entry_of "$install_win")
[[ -n $key ]] || fail "no uninstall entry names $install_win: $(entries_in_full)"
[[ $(reg_value "$key" DisplayVersion REG_SZ) == "$version" ]] || fail "uninstall entry: no DisplayVersion"
[[ $(reg_value "$key" Publisher REG_SZ) == KELSAR ]] || fail "uninstall entry: no Publisher KELSAR"
# EstimatedSize is in KiB: what the installation put into the folder, rounded up.
bytes=$(find "$install_dir" -type f -printf '%s\n' | awk '{ n += $1 } END { print n }')
estimated=$(reg_value "$key" EstimatedSize REG_DWORD)
if [[ -z $estimated ]] || ((estimated != (bytes + 1023) / 1024)); then
  fail "uninstall entry: EstimatedSize '$estimated' is not the $bytes bytes installed"
fi
echo "  files and uninstall entry ${key##*\\} in place (publisher KELSAR, $((estimated)) KiB)"

grep -q '^CreateReport=1' "$install_dir/TavrinPlugin.ini" &&
  fail "the import report is switched on although it was not chosen"

echo "=== win64 installer again, without /D= (an update)"
install ""
installed_like_staged "$install_dir"
[[ $(entries) == "$key" ]] || fail "the update did not keep the one entry $key: $(entries)"
compgen -G "$WINEPREFIX/drive_c/users/*/AppData/Local/Programs/Tavrin Plugin" >/dev/null &&
  fail "the update went to the default folder instead of the one installed into"
echo "  the folder installed into is chosen again"

echo "=== The installed converter"
converter_says=$(cd "$install_dir" && wine ./tavrin-convert.exe --version | tr -d '\r')
echo "  $converter_says"
[[ $converter_says == "tavrin-convert $version" ]] || fail "unexpected --version output"

echo "=== win64 uninstaller: silent"
uninstall "$install_dir" "$key"
if [[ -e $install_dir ]]; then
  fail "left behind in $install_dir: $(cd "$install_dir" && find . -mindepth 1 | tr '\n' ' ')"
fi
echo "  folder and uninstall entry removed"

echo "=== Two installations: $install_win, and $second_win with the import report (/REPORT)"
install "/D=$install_win"
install "/REPORT /D=$second_win"
installed_like_staged "$install_dir"
[[ $(entries | wc -l) == 2 ]] || fail "not two uninstall entries: $(entries)"
key=$(entry_of "$install_win") second_key=$(entry_of "$second_win")
[[ -n $key && -n $second_key && $key != "$second_key" ]] ||
  fail "the two folders have no entries of their own: $(entries_in_full)"
tr -d '\r' <"$second_dir/TavrinPlugin.ini" | sed -n '/^\[Config\]/,/^\[/p' | grep -q '^CreateReport=1$' ||
  fail "the chosen import report is not switched on in TavrinPlugin.ini"
echo "  entries ${key##*\\} and ${second_key##*\\}; CreateReport=1 in [Config] of the second"

echo "=== Uninstalling the first, whose TavrinPlugin.ini was changed after the installation"
sed -i 's/^NumDaysOldDataWarning=.*/NumDaysOldDataWarning=90\r/' "$install_dir/TavrinPlugin.ini"
uninstall "$install_dir" "$key"
left=$(cd "$install_dir" && find . -mindepth 1 | sort | tr '\n' ' ')
[[ $left == "./TavrinPlugin.ini " ]] || fail "in $install_dir, not only TavrinPlugin.ini is left: $left"
grep -q '^NumDaysOldDataWarning=90' "$install_dir/TavrinPlugin.ini" ||
  fail "the changed TavrinPlugin.ini lost its change"
[[ $(entry_of "$second_win") == "$second_key" ]] || fail "the second installation lost its entry"
# The report choice rewrote its TavrinPlugin.ini (checked above).
installed_like_staged "$second_dir" -x TavrinPlugin.ini
echo "  the changed TavrinPlugin.ini stays; the second installation keeps its files and entry"

echo "=== Uninstalling the second (its TavrinPlugin.ini as the installer left it)"
uninstall "$second_dir" "$second_key"
[[ -e $second_dir ]] &&
  fail "left behind in $second_dir: $(cd "$second_dir" && find . -mindepth 1 | tr '\n' ' ')"
[[ -z $(entries) ]] || fail "uninstall entries left: $(entries)"
rm -rf "$WINEPREFIX/drive_c/Orvolux Test"
echo "  folder and entry removed; no entry left"

echo "=== A first installation proposes the Plugins folder of the Orvolux installation"
# An Orvolux installation as its uninstall entry names it; its program marks the folder.
host_win='C:\Orvolux Test\Host' host_dir=$WINEPREFIX/drive_c/Orvolux\ Test/Host
mkdir -p "$host_dir"
: >"$host_dir/Veltra Orvolux Software.exe"
wine reg add "$uninstall_root\VeltraOrvoluxTest" /v DisplayName /d "Veltra Orvolux Software" /f >/dev/null
wine reg add "$uninstall_root\VeltraOrvoluxTest" /v InstallLocation /d "$host_win\\" /f >/dev/null
install ""
installed_like_staged "$host_dir/Plugins"
key=$(entry_of "$host_win\Plugins")
[[ -n $key ]] || fail "no uninstall entry names $host_win\\Plugins: $(entries_in_full)"
uninstall "$host_dir/Plugins" "$key"
wine reg delete "$uninstall_root\VeltraOrvoluxTest" /f >/dev/null
rm -rf "$WINEPREFIX/drive_c/Orvolux Test"
echo "  installed into $host_win\\Plugins, found by the host's uninstall entry"

echo "=== win64 MSI: msiexec /qn into a Plugins folder given as PLUGINSFOLDER"
msi_win='C:\Orvolux MSI\Plugins'
msi_dir=$WINEPREFIX/drive_c/Orvolux\ MSI/Plugins
mkdir -p "$msi_dir"
echo "another plug-in" >"$msi_dir/OtherPlugin.dll"
msi=TavrinPlugin-$version-win64.msi
# A clinic types PLUGINSFOLDER="C:\...\Plugins"; Wine quotes the whole argument instead,
# "PLUGINSFOLDER=C:\...\Plugins", which msiexec takes as well.
(cd "$packages" && wine msiexec /i "$msi" /qn "PLUGINSFOLDER=$msi_win") ||
  fail "msiexec /i ended with status $?"
diff -r -x OtherPlugin.dll "$stage/win64/files" "$msi_dir" ||
  fail "the files the MSI installed differ from the staged ones"
msi_entries() {  # the DisplayVersion of each Windows Installer entry of the plug-in
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
    tr -d '\r' | awk -v ours='Tavrin Plugin for Orvolux' '
      /^HKEY/ { name = ""; version = "" }
      /^ +DisplayName +REG_SZ/ { sub(/^ +DisplayName +REG_SZ +/, ""); name = $0 }
      /^ +DisplayVersion +REG_SZ/ { version = $3 }
      /^$/ { if (name == ours) print version; name = "" }
      END { if (name == ours) print version }'
}
[[ $(msi_entries) == "$version" ]] || fail "the MSI installation has no uninstall entry of its own: $(msi_entries)"
echo "  files in place beside the other plug-in's, uninstall entry $version registered"

# A newer version, started without the property, replaces this one in the same folder.
newer=$repo/build/wine-installer/TavrinPlugin-9.9.9-win64.msi
(cd "$stage/win64" && wixl -a x64 -D VERSION=9.9.9 -D Win64=yes -D FILES=files -o "$newer" \
  "$repo/packaging/windows/TavrinPlugin.wxs" msi-files.wxs) || fail "wixl could not build 9.9.9"
wine msiexec /i "$newer" /qn || fail "msiexec /i of a newer version ended with status $?"
diff -r -x OtherPlugin.dll "$stage/win64/files" "$msi_dir" ||
  fail "the newer version did not replace the files in $msi_dir"
[[ ! -e "$WINEPREFIX/drive_c/Program Files/Tavrin Plugin" ]] ||
  fail "the newer version went to Program Files instead of the folder installed into"
[[ $(msi_entries) == 9.9.9 ]] || fail "not one uninstall entry of 9.9.9 after the update: $(msi_entries)"
echo "  a newer version (9.9.9) without PLUGINSFOLDER replaces it in the same folder"

wine msiexec /x "$newer" /qn || fail "msiexec /x ended with status $?"
rm -f "$newer"
left=$(cd "$msi_dir" && find . -mindepth 1 | sort | tr '\n' ' ')
[[ $left == "./OtherPlugin.dll " ]] || fail "after msiexec /x, left in $msi_dir: $left"
wine reg query 'HKLM\Software\KELSAR' >/dev/null 2>&1 && fail "HKLM\\Software\\KELSAR is left"
[[ -z $(msi_entries) ]] || fail "the MSI's uninstall entry is left: $(msi_entries)"
rm -rf "$WINEPREFIX/drive_c/Orvolux MSI"
echo "  msiexec /x without PLUGINSFOLDER: only the other plug-in's file is left; registry clean"

bash scripts/test-signing.sh
echo "Installer test passed."
