#!/usr/bin/env bash
# Signs Windows programs in place (Authenticode, SHA-256) with osslsigncode,
# when a certificate and its key are given in the environment:
#
#   MIRVOK_SIGN_CERT           the code-signing certificate in PEM (it may hold
#                              the chain up to the root)
#   MIRVOK_SIGN_KEY            its private key, PEM or DER
#   MIRVOK_SIGN_PASSWORD_FILE  (optional) a file whose first line is the key's
#                              password
#   MIRVOK_SIGN_TIMESTAMP_URL  (optional) an RFC 3161 time-stamp server, so that
#                              the signature stays valid after the certificate
#                              expires
#
#   sign.sh FILE.exe...
#
# Without MIRVOK_SIGN_CERT and MIRVOK_SIGN_KEY nothing is signed; one of them
# without the other is an error, as is a signing that fails: an unsigned file
# never passes for a signed one.
set -euo pipefail
fail() { echo "sign.sh: $*" >&2; exit 1; }

cert=${MIRVOK_SIGN_CERT:-}
key=${MIRVOK_SIGN_KEY:-}
[ -z "$cert" ] && [ -z "$key" ] && exit 0
[ -n "$cert" ] && [ -n "$key" ] || fail "MIRVOK_SIGN_CERT and MIRVOK_SIGN_KEY go together"
[ -r "$cert" ] || fail "cannot read the certificate $cert"
[ -r "$key" ] || fail "cannot read the key $key"
options=(-certs "$cert" -key "$key" -h sha256 -n "Mirvok")
if [ -n "${MIRVOK_SIGN_PASSWORD_FILE:-}" ]; then
    [ -r "$MIRVOK_SIGN_PASSWORD_FILE" ] || fail "cannot read $MIRVOK_SIGN_PASSWORD_FILE"
    options+=(-readpass "$MIRVOK_SIGN_PASSWORD_FILE")
fi
[ -n "${MIRVOK_SIGN_TIMESTAMP_URL:-}" ] && options+=(-ts "$MIRVOK_SIGN_TIMESTAMP_URL")

for file in "$@"; do
    signed="$file.signed"
    rm -f "$signed"
    if ! osslsigncode sign "${options[@]}" -in "$file" -out "$signed" >/dev/null; then
        rm -f "$signed"
        fail "signing $file failed"
    fi
    mv -f "$signed" "$file"
    echo "signed $file" >&2
done
