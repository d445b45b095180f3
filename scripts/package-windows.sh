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
#   TavrinPlugin-<version>-ARCH.msi        per-machine Windows Installer package (wixl,
#                                          packaging/windows/TavrinPlugin.wxs)
# All hold TavrinPlugin.exe, tavrin-convert.exe, Language\, a commented default
# TavrinPlugin.ini and README-Windows.txt. scripts/test-installer.sh tries them out.
#
# When TAVRIN_SIGN_CERT and TAVRIN_SIGN_KEY name a code-signing certificate and its key
# (TAVRIN_SIGN_PASS, TAVRIN_SIGN_TIMESTAMP_URL: see scripts/sign-windows.sh), the two
# programs are signed before they are packed, then the installer's uninstaller, the
# installers and the MSI packages; without them nothing is signed.
# TAVRIN_PACKAGES and TAVRIN_PACKAGE_STAGE choose other folders than build/packages and
# build/package-stage (the signing test packs beside the ordinary packages).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

signing=
if [[ -n ${TAVRIN_SIGN_CERT:-} || -n ${TAVRIN_SIGN_KEY:-} ]]; then
  [[ -f ${TAVRIN_SIGN_CERT:-} && -f ${TAVRIN_SIGN_KEY:-} ]] || {
    echo "TAVRIN_SIGN_CERT and TAVRIN_SIGN_KEY must both name existing files" >&2
    exit 1
  }
  signing=osslsigncode
fi
bash scripts/setup-debian.sh cmake ninja-build g++-mingw-w64-x86-64-posix \
  g++-mingw-w64-i686-posix nsis zip msitools wixl $signing
sign() {
  [[ -z $signing ]] || bash "$repo/scripts/sign-windows.sh" "$@"
}

version=$(sed -n 's/^project(TavrinPlugin VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || {
  echo "cannot read the version from CMakeLists.txt" >&2
  exit 1
}
jobs=$(nproc 2>/dev/null || echo 2)
packages=$(realpath -m "${TAVRIN_PACKAGES:-$repo/build/packages}")
stages=$(realpath -m "${TAVRIN_PACKAGE_STAGE:-$repo/build/package-stage}")
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

  local bin=$repo/build/$preset/bin stage=$stages/$arch
  rm -rf "$stage"
  mkdir -p "$stage/files/Language"
  for program in TavrinPlugin.exe tavrin-convert.exe; do
    "$triplet-strip" -o "$stage/files/$program" "$bin/$program"
    sign "$stage/files/$program"
  done
  cp "$bin"/Language/*.txt "$stage/files/Language/"
  cp packaging/windows/TavrinPlugin.ini "$stage/files/"
  windows_text packaging/windows/README-Windows.txt "$arch" >"$stage/files/README-Windows.txt"

  # One File, one Delete and one size line per language file: the uninstaller removes
  # only those, the uninstall entry counts only those.
  {
    echo '!macro InstallLanguageFiles'
    for f in "$stage"/files/Language/*.txt; do echo "  File \"\${FILES}/Language/${f##*/}\""; done
    echo '!macroend'
    echo '!macro DeleteLanguageFiles'
    for f in "$stage"/files/Language/*.txt; do echo "  Delete \"\$INSTDIR\\Language\\${f##*/}\""; done
    echo '!macroend'
    echo '!macro SizeLanguageFiles'
    for f in "$stage"/files/Language/*.txt; do echo "  !insertmacro AddSize \"\$INSTDIR\\Language\" \"${f##*/}\""; done
    echo '!macroend'
  } >"$stage/language-files.nsh"

  echo "=== $arch: zip, installer and MSI"
  local zip=$packages/TavrinPlugin-$version-$arch.zip
  local setup=$packages/TavrinPlugin-$version-setup-$arch.exe
  local msi=$packages/TavrinPlugin-$version-$arch.msi
  rm -f "$zip"
  (cd "$stage/files" && zip -q -X -r -9 "$zip" .)
  local sign_uninstaller=()
  [[ -z $signing ]] || sign_uninstaller=("-DSIGN_COMMAND=\"$repo/scripts/sign-windows.sh\"")
  makensis -V2 -WX -INPUTCHARSET UTF8 -DVERSION="$version" -DARCH="$arch" \
    -DFILES="$stage/files" -DOUTFILE="$setup" "${sign_uninstaller[@]}" \
    packaging/windows/installer.nsi
  sign "$setup"

  # One component per staged file (--win64 writes Win64="$(var.Win64)", set by -D below);
  # wixl takes the sources relative to the stage.
  local msi_arch=x86 win64=no
  [[ $arch == win64 ]] && msi_arch=x64 win64=yes
  (cd "$stage" && find files -type f | LC_ALL=C sort |
    wixl-heat -p files/ --component-group ProgramFiles --var var.FILES \
      --directory-ref PLUGINSFOLDER --win64 >msi-files.wxs)
  (cd "$stage" && wixl -a "$msi_arch" -D VERSION="$version" -D Win64="$win64" -D FILES=files \
    -o "$msi" "$repo/packaging/windows/TavrinPlugin.wxs" msi-files.wxs)
  sign "$msi"
  written+=("$zip" "$setup" "$msi")
}

pack win32 mingw32 i686-w64-mingw32
pack win64 mingw64-release x86_64-w64-mingw32

echo "=== Windows packages (version $version)"
for f in "${written[@]}"; do
  printf '  %s (%s bytes)\n' "$f" "$(stat -c %s "$f")"
done
