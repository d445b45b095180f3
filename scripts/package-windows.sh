#!/usr/bin/env bash
# Builds the Windows release programs for both architectures and packs them:
#
#   bash scripts/package-windows.sh
#
# writes to build/packages/, for ARCH win32 (i686, preset mingw32) and win64 (x86_64,
# preset mingw64-release):
#   TavrinPlugin-<version>-ARCH.zip        portable: the files at the archive's top, to be
#                                          unpacked into the host's Plugins folder
#   TavrinPlugin-<version>-setup-ARCH.exe  per-user NSIS installer (packaging/windows)
# Both hold TavrinPlugin.exe, tavrin-convert.exe, Language\, a commented default
# TavrinPlugin.ini and README-Windows.txt. scripts/test-installer.sh tries them out.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

bash scripts/setup-debian.sh cmake ninja-build g++-mingw-w64-x86-64-posix \
  g++-mingw-w64-i686-posix nsis zip

version=$(sed -n 's/^project(TavrinPlugin VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || {
  echo "cannot read the version from CMakeLists.txt" >&2
  exit 1
}
jobs=$(nproc 2>/dev/null || echo 2)
packages=$repo/build/packages
mkdir -p "$packages"
written=()

# LF text to the CR LF that Windows editors expect, with the version and architecture.
windows_text() {
  sed -e "s/@VERSION@/$version/g" -e "s/@ARCH@/$2/g" -e 's/\r$//' -e 's/$/\r/' "$1"
}

pack() {
  local arch=$1 preset=$2 triplet=$3
  echo "=== $arch: build (preset $preset)"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs" --target TavrinPlugin tavrin-convert

  local bin=$repo/build/$preset/bin stage=$repo/build/package-stage/$arch
  rm -rf "$stage"
  mkdir -p "$stage/files/Language"
  for program in TavrinPlugin.exe tavrin-convert.exe; do
    "$triplet-strip" -o "$stage/files/$program" "$bin/$program"
  done
  cp "$bin"/Language/*.txt "$stage/files/Language/"
  cp packaging/windows/TavrinPlugin.ini "$stage/files/"
  windows_text packaging/windows/README-Windows.txt "$arch" >"$stage/files/README-Windows.txt"

  # One File and one Delete line per language file: the uninstaller removes only those.
  {
    echo '!macro InstallLanguageFiles'
    for f in "$stage"/files/Language/*.txt; do echo "  File \"\${FILES}/Language/${f##*/}\""; done
    echo '!macroend'
    echo '!macro DeleteLanguageFiles'
    for f in "$stage"/files/Language/*.txt; do echo "  Delete \"\$INSTDIR\\Language\\${f##*/}\""; done
    echo '!macroend'
  } >"$stage/language-files.nsh"

  echo "=== $arch: zip and installer"
  local zip=$packages/TavrinPlugin-$version-$arch.zip
  local setup=$packages/TavrinPlugin-$version-setup-$arch.exe
  rm -f "$zip"
  (cd "$stage/files" && zip -q -X -r -9 "$zip" .)
  makensis -V2 -WX -INPUTCHARSET UTF8 -DVERSION="$version" -DARCH="$arch" \
    -DFILES="$stage/files" -DOUTFILE="$setup" packaging/windows/installer.nsi
  written+=("$zip" "$setup")
}

pack win32 mingw32 i686-w64-mingw32
pack win64 mingw64-release x86_64-w64-mingw32

echo "=== Windows packages (version $version)"
for f in "${written[@]}"; do
  printf '  %s (%s bytes)\n' "$f" "$(stat -c %s "$f")"
done
