#!/usr/bin/env bash
# Signing as ./mirvok.sh package does it, with a throw-away certificate made
# here: package.sh must sign both programs and the installer, and
# osslsigncode must verify each signature against that certificate. A key
# without its certificate must stop the packaging.
#
#   installer_signing_test.sh BUILD-WINDOWS WORK-DIR
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$1
work=$2
fail() { echo "signing test: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work/ca" "$work/out"
openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes -subj "/CN=Mirvok test signing" \
    -addext "extendedKeyUsage=codeSigning" -keyout "$work/ca/key.pem" -out "$work/ca/cert.pem" \
    >/dev/null 2>&1 || fail "openssl made no certificate"

# One of the two variables alone is refused.
if MIRVOK_SIGN_KEY="$work/ca/key.pem" "$root/packaging/windows/package.sh" "$build" "$work/refused" \
    >/dev/null 2>&1; then
    fail "a key without its certificate did not stop the packaging"
fi

outputs=$(MIRVOK_SIGN_CERT="$work/ca/cert.pem" MIRVOK_SIGN_KEY="$work/ca/key.pem" \
    "$root/packaging/windows/package.sh" "$build" "$work/out") || fail "package.sh failed"
zip=$(sed -n 1p <<<"$outputs")
setup=$(sed -n 2p <<<"$outputs")
(cd "$work/out" && unzip -q "$zip") || fail "cannot unpack $zip"

verify() {
    osslsigncode verify -CAfile "$work/ca/cert.pem" -in "$1" >"$work/verify.log" 2>&1 \
        || { cat "$work/verify.log"; fail "$(basename "$1") is not signed by the test certificate"; }
    grep -q "Signature verification: ok" "$work/verify.log" || { cat "$work/verify.log"; fail "$1: no verified signature"; }
    echo "signing test: $(basename "$1") signed and verified"
}
verify "$setup"
for program in "$work"/out/mirvok-*/mirvok.exe "$work"/out/mirvok-*/mirvok-cli.exe; do
    verify "$program"
done

echo "signing test: passed"
