#!/usr/bin/env bash
# tests/signing.sh WINDOWS_BUILD: with a throwaway CA and certificate, two folders sign alike, at the
# zip's time, an exe that verifies and that is WINDOWS_BUILD's without its signature, and the kit; the
# kit's zip holds the signed exe. Rebuilds sign only
# an exe found unsigned or signed otherwise; a missing file or a wrong password stops the build with one
# line and no zip; no password shows. A folder that signs no more links its exe again; the vendor's
# FTD2XX.dll beside the exe stays.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
unsigned=$1/chg_4917.exe
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
exe=chg_4917.exe failed=0
fail() { echo "FAIL: $*"; failed=1; }

# An osslsigncode that writes down its arguments; the certificate, its password and two others.
printf '#!/bin/sh\necho "$*" >>%q\nexec osslsigncode "$@"\n' "$dir/arguments" >osslsigncode
chmod 700 osslsigncode
echo Sesame-4917 | tee password again >/dev/null
echo Sesame-wrong >wrong
req="openssl req -x509 -newkey rsa:2048 -nodes -days 2"
$req -subj /CN=CA -keyout ca.key -out ca.pem 2>/dev/null
$req -subj /CN=Signer -keyout key.pem -out cert.pem -CA ca.pem -CAkey ca.key \
  -addext extendedKeyUsage=codeSigning 2>/dev/null
openssl pkcs12 -export -inkey key.pem -in cert.pem -out cert.p12 -passout file:password
mkdir two
echo "the vendor's" >two/FTD2XX.dll

build() {  # FOLDER [P12 PASSWORD_FILE]: configures and builds the zip, output in FOLDER.log
  local status=0
  { cmake -S "$src" -B "$1" -DCHG_TESTS=OFF -DCMAKE_BUILD_TYPE=Release -DOSSLSIGNCODE="$dir/osslsigncode" \
      -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-i686.cmake" -DCHG_SIGN_PKCS12="$dir/${2:-cert.p12}" \
      -DCHG_SIGN_PASSWORD_FILE="$dir/${3:-password}" &&
      SOURCE_DATE_EPOCH=1234567890 cmake --build "$1" -j2 --verbose --target recette_zip; } >"$1.log" 2>&1 || status=$?
  ! grep -q Sesame "$1.log" arguments || fail "a password shown by the build of $1"
  return "$status"
}

build one && build two || { cat one.log two.log; exit 1; }
zip=$(basename one/chg_4917-*-win32.zip) kit=$(basename one/chg_4917-*-win32-recette.zip)
cp one/$exe signed.exe
cp one/$zip signed.zip
cmp one/$exe two/$exe && cmp one/$zip two/$zip && cmp one/$kit two/$kit || fail "two signed builds differ"
unzip -p one/$zip $exe | cmp - signed.exe && unzip -p one/$kit $exe | cmp - signed.exe || fail "a zip holds another exe"
osslsigncode verify -CAfile ca.pem -in one/recette.exe >/dev/null || fail "the kit is not signed"
osslsigncode verify -CAfile ca.pem -in signed.exe >verified
grep -qx 'Message digest algorithm  : SHA256' verified || fail "not signed with SHA-256"
grep -qx $'\tSigning time: Feb 13 23:31:30 2009 GMT' verified || fail "not signed at the zip's time"
osslsigncode remove-signature -in signed.exe -out removed.exe >/dev/null
cmp removed.exe "$unsigned" || fail "without its signature, not the unsigned exe"

cp "$unsigned" one/$exe
build one && build two && build two cert.p12 again || { cat one.log two.log; exit 1; }
cmp one/$exe signed.exe && cmp one/$zip signed.zip && cmp two/$exe signed.exe || fail "signed again otherwise"
[ "$(grep -c '^sign ' arguments)" = 7 ] || fail "$(grep -c '^sign ' arguments) signatures for 7 exes to sign"

while read -r p12 password line; do
  if build two "$p12" "$password"; then fail "built with $p12 and $password"; fi
  grep -qxF "   chg_4917.exe cannot be signed: ${line//DIR/$dir}" two.log || fail "no line: $line"
  [ ! -e two/$zip ] && [ ! -e two/$kit ] || fail "a zip left by the build with $p12 and $password"
done <<'FAULTS'
cert.p12 wrong the password in DIR/wrong does not open DIR/cert.p12
cert.p12 none there is no file DIR/none (CHG_SIGN_PASSWORD_FILE)
none.p12 password there is no file DIR/none.p12 (CHG_SIGN_PKCS12)
FAULTS

cmake -DCHG_SIGN_PKCS12= -DCHG_SIGN_PASSWORD_FILE= two >/dev/null && cmake --build two --target zip >/dev/null
cmp two/$exe "$unsigned" || fail "a folder that signs no more keeps its signed exe"
[ "$(cat two/FTD2XX.dll)" = "the vendor's" ] || fail "the vendor's FTD2XX.dll is gone"
[ ! -e one/FTD2XX.dll ] || fail "an FTD2XX.dll beside the exe"
exit "$failed"
