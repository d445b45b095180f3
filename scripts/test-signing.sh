#!/usr/bin/env bash
# Signing as scripts/package-windows.sh does it when a certificate is given:
#
#   bash scripts/test-signing.sh      (called by scripts/test-installer.sh)
#
# makes a throwaway self-signed code-signing certificate with a password-protected key,
# packs both architectures with it into build/packages-signed (the ordinary packages stay
# as they are) and verifies with osslsigncode, against that certificate, the signatures of
# the staged programs, the programs inside the zips, the installers and the MSI packages.
# The win64 installer is installed under Wine (prefix build/wine-installer) to verify the
# uninstaller it writes. The ordinary packages, built without a certificate, must carry no
# signature.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

bash scripts/setup-debian.sh openssl osslsigncode unzip wine wine64

fail() {
  echo "SIGNING TEST FAILED: $*" >&2
  exit 1
}

version=$(sed -n 's/^project(TavrinPlugin VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
work=$repo/build/signing-test
packages=$repo/build/packages-signed
stages=$repo/build/package-stage-signed
rm -rf "$work" "$packages"
mkdir -p "$work"

echo "=== Signing: throwaway certificate"
openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -subj "/CN=Tavrin signing test" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" \
  -passout pass:signing-test 2>/dev/null || fail "openssl could not make a certificate"

echo "=== Signing: packing with it"
TAVRIN_SIGN_CERT=$work/cert.pem TAVRIN_SIGN_KEY=$work/key.pem TAVRIN_SIGN_PASS=signing-test \
  TAVRIN_PACKAGES=$packages TAVRIN_PACKAGE_STAGE=$stages \
  bash scripts/package-windows.sh >"$work/package.log" 2>&1 ||
  fail "scripts/package-windows.sh with a certificate failed: $(tail -20 "$work/package.log")"

verified=0
verify() {  # file, what it is
  osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.log" 2>&1 ||
    fail "$2 (${1#"$repo"/}) has no valid signature: $(tail -5 "$work/verify.log")"
  verified=$((verified + 1))
}
for arch in win32 win64; do
  for program in TavrinPlugin.exe tavrin-convert.exe; do
    verify "$stages/$arch/files/$program" "the staged $arch $program"
    unzip -p "$packages/TavrinPlugin-$version-$arch.zip" "$program" >"$work/$arch-$program"
    verify "$work/$arch-$program" "$program in the $arch zip"
  done
  verify "$packages/TavrinPlugin-$version-setup-$arch.exe" "the $arch installer"
  verify "$packages/TavrinPlugin-$version-$arch.msi" "the $arch MSI"
done

# The uninstaller exists only once the installer has written it.
export WINEPREFIX=${WINEPREFIX:-$repo/build/wine-installer} WINEDEBUG=-all
signed_dir=$WINEPREFIX/drive_c/Signed/Plugins
rm -rf "$WINEPREFIX/drive_c/Signed"
(cd "$packages" && wine cmd /c "TavrinPlugin-$version-setup-win64.exe /S /D=C:\\Signed\\Plugins") ||
  fail "the signed installer ended with status $?"
verify "$signed_dir/TavrinPlugin-uninstall.exe" "the uninstaller written by the win64 installer"
verify "$signed_dir/TavrinPlugin.exe" "the installed TavrinPlugin.exe"
wine "$signed_dir/TavrinPlugin-uninstall.exe" /S || fail "the signed uninstaller ended with status $?"
for _ in $(seq 60); do
  [[ ! -e $signed_dir ]] && break
  sleep 1
done
[[ -e $signed_dir ]] && fail "the signed uninstaller left $signed_dir"
rm -rf "$WINEPREFIX/drive_c/Signed"
echo "  $verified signatures verified against the throwaway certificate"

# Without a certificate nothing is signed.
for f in "$repo/build/packages/TavrinPlugin-$version-setup-win64.exe" \
  "$repo/build/packages/TavrinPlugin-$version-win64.msi" \
  "$repo/build/package-stage/win64/files/TavrinPlugin.exe"; do
  osslsigncode extract-signature -in "$f" -out "$work/none.p7" >/dev/null 2>&1 &&
    fail "${f#"$repo"/} is signed although no certificate was given"
done
echo "  the ordinary packages carry no signature"
rm -rf "$work"
echo "Signing test passed."
