#!/usr/bin/env bash
# Signs Windows programs, installers and MSI packages in place (Authenticode, SHA-256) with
# osslsigncode:
#
#   TAVRIN_SIGN_CERT=cert.pem TAVRIN_SIGN_KEY=key.pem bash scripts/sign-windows.sh FILE...
#
#   TAVRIN_SIGN_CERT           the code-signing certificate (PEM or DER; a chain in PEM
#                              may follow it)
#   TAVRIN_SIGN_KEY            its private key (PEM or DER)
#   TAVRIN_SIGN_PASS           the key's password, when it has one (read from a pipe, not
#                              passed on the command line)
#   TAVRIN_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamping service; none by default (the
#                              signature then holds only while the certificate is valid)
#
# scripts/package-windows.sh calls it for every file it signs, makensis for the uninstaller
# inside the setup; this is the only place that knows how to sign.
set -euo pipefail
[[ -n ${TAVRIN_SIGN_CERT:-} && -n ${TAVRIN_SIGN_KEY:-} ]] || {
  echo "sign-windows.sh: TAVRIN_SIGN_CERT and TAVRIN_SIGN_KEY must name a certificate and key" >&2
  exit 2
}
for file; do
  args=(sign -certs "$TAVRIN_SIGN_CERT" -key "$TAVRIN_SIGN_KEY" -h sha256
    -n "Tavrin Plugin for Orvolux")
  [[ -n ${TAVRIN_SIGN_TIMESTAMP_URL:-} ]] && args+=(-ts "$TAVRIN_SIGN_TIMESTAMP_URL")
  rm -f "$file.signed"
  if [[ -n ${TAVRIN_SIGN_PASS:-} ]]; then
    osslsigncode "${args[@]}" -readpass <(printf %s "$TAVRIN_SIGN_PASS") \
      -in "$file" -out "$file.signed" >/dev/null
  else
    osslsigncode "${args[@]}" -in "$file" -out "$file.signed" >/dev/null
  fi
  mv -f "$file.signed" "$file"
done
