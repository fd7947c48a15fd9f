#!/bin/bash
# signed_setup_test.sh SOURCE_DIR BUILD_DIR [COMMAND...]
# This tree's setup.exe signed as a release build signs it (the script of
# cmake/OrvikSigning.cmake) with a throw-away certificate made here: the
# signature verifies against it, with SHA-256; signing again later gives the
# same bytes (the fixed signing time); damage to the image or to the
# signature is caught by osslsigncode verify. Then COMMAND, when given, runs
# with ORVIK_SETUP_EXE naming the signed copy (an end-to-end scenario).
set -euo pipefail
src=$1 build=$(cd "$2" && pwd)
shift 2
fail() { echo "signed_setup_test: $*" >&2; exit 1; }

work=$build/signing-test
rm -rf "$work"
mkdir -p "$work"
cd "$work"
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
    -subj "/CN=Orvik signing test" -addext extendedKeyUsage=codeSigning 2>/dev/null
export ORVIK_SIGN_PASSWORD="it's secret"
openssl pkcs12 -export -inkey key.pem -in cert.pem -out cert.p12 -passout env:ORVIK_SIGN_PASSWORD
cmake -DORVIK_SIGN_PKCS12=cert.p12 -DORVIK_SIGN_DIR="$work/signing" -DORVIK_SIGN_TIME=1764547200 \
    -P "$src/cmake/OrvikSigning.cmake" >/dev/null
if grep -qF "$ORVIK_SIGN_PASSWORD" signing/sign-file; then fail "the password is in the signing command"; fi

cp "$build/src/setup/setup.exe" setup.exe
cp setup.exe again.exe
# A second later: the same bytes only with the fixed signing time.
signing/sign-file setup.exe
sleep 1
signing/sign-file again.exe
cmp setup.exe again.exe || fail "signing again gave different bytes"
osslsigncode verify -CAfile cert.pem -in setup.exe > verify.txt 2>&1 || fail "the signature does not verify: $(cat verify.txt)"
grep -q 'digest algorithm *: *SHA256' verify.txt || fail "not signed with SHA-256"
echo "setup.exe: $(stat -c %s "$build/src/setup/setup.exe") bytes unsigned, $(stat -c %s setup.exe) signed"

# One byte changed in the first section, then one in the signature's end.
damage() { # offset
    local byte
    byte=$(od -An -tu1 -j"$1" -N1 setup.exe | tr -d ' ')
    cp setup.exe damaged.exe
    printf "\\x$(printf %02x $((byte ^ 0x10)))" | dd of=damaged.exe bs=1 seek="$1" conv=notrunc status=none
    ! osslsigncode verify -CAfile cert.pem -in damaged.exe >/dev/null 2>&1
}
damage 1100 || fail "a changed image still verifies"
damage $(($(stat -c %s setup.exe) - 40)) || fail "a changed signature still verifies"

if (($#)); then
    ORVIK_SETUP_EXE='T:\signing-test\setup.exe' "$@"
fi
