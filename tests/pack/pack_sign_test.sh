#!/usr/bin/env bash
# Signing setup.exe through osslsigncode with a certificate made here: both ways of giving the key,
# the signature accepted by osslsigncode verify, reproducible with SOURCE_DATE_EPOCH, a wrong
# password leaving nothing behind; then, given the GUI driver, the signed setup installs and
# uninstalls the example product under Wine.
#   pack_sign_test.sh <tarnwick-pack> <setup.exe> <x64|x86> [<setup_gui_driver.exe> <tarnwick-notepad.exe>]
set -u
pack=$1 stub=$2 arch=$3 driver=${4:-} notepad=${5:-}
[ -x "$pack" ] || { echo "SKIP: no native packager at $pack"; exit 77; }
[ -f "$stub" ] || { echo "SKIP: no setup program at $stub"; exit 77; }
here=$(cd "$(dirname "$0")" && pwd)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
W=$(mktemp -d /tmp/tarnwick-pack-sign.XXXXXX)
trap 'rm -rf "$W"' EXIT

openssl req -x509 -newkey rsa:2048 -keyout "$W/key.pem" -out "$W/cert.pem" -days 30 -nodes \
  -subj "/CN=Tarnwick Test Signer" >/dev/null 2>&1 || { fail "openssl could not make a certificate"; exit 1; }
printf 'secret' > "$W/pass.txt"
openssl pkcs12 -export -out "$W/cert.p12" -inkey "$W/key.pem" -in "$W/cert.pem" -passout file:"$W/pass.txt" >/dev/null 2>&1 ||
  fail "openssl could not make the PKCS#12 file"

mkdir -p "$W/product"
printf 'hello\r\n' > "$W/product/hello.txt"
cat > "$W/product/tarnwick.toml" <<'TOML'
[product]
name        = "Signed Check"
publisher   = "Example"
destination = '[PROGRAMFILES]\Signed Check'
[[files]]
source = "hello.txt"
to     = '[INSTALLDIR]'
TOML

verify() { osslsigncode verify -CAfile "$W/cert.pem" -in "$1" >"$W/verify.log" 2>&1 && grep -q "Signature verification: ok" "$W/verify.log"; }

export SOURCE_DATE_EPOCH=1715947200
"$pack" build "$W/product/tarnwick.toml" -o "$W/p12" --arch "$arch" --stub "$stub" --sign "$W/cert.p12" \
  --sign-pass-file "$W/pass.txt" >/dev/null 2>"$W/err" || fail "build --sign: $(cat "$W/err")"
verify "$W/p12/setup.exe" || fail "osslsigncode rejects the PKCS#12-signed setup.exe: $(cat "$W/verify.log")"
"$pack" verify "$W/p12" | grep -q "setup.exe for $arch" || fail "tarnwick-pack verify of the signed folder"
"$pack" build "$W/product/tarnwick.toml" -o "$W/pem" --arch "$arch" --stub "$stub" --sign-cert "$W/cert.pem" \
  --sign-key "$W/key.pem" >/dev/null 2>"$W/err" || fail "build --sign-cert/--sign-key: $(cat "$W/err")"
verify "$W/pem/setup.exe" || fail "osslsigncode rejects the PEM-signed setup.exe: $(cat "$W/verify.log")"
cmp -s "$W/p12/setup.exe" "$W/pem/setup.exe" || fail "the same key and SOURCE_DATE_EPOCH gave two different signatures"
cmp -s "$W/p12/setup.exe" "$stub" && fail "setup.exe was not signed at all"

printf 'wrong' > "$W/wrong.txt"
"$pack" build "$W/product/tarnwick.toml" -o "$W/refused" --arch "$arch" --stub "$stub" --sign "$W/cert.p12" \
  --sign-pass-file "$W/wrong.txt" >/dev/null 2>"$W/err" && fail "a wrong password was accepted"
grep -q "signing: osslsigncode failed" "$W/err" || fail "the wrong password's message: $(cat "$W/err")"
[ -e "$W/refused" ] && fail "a failed signing published the folder"
ls -A "$W" | grep -q partial && fail "a failed signing left its staging folder"
"$pack" build "$W/product/tarnwick.toml" -o "$W/x" --sign-cert "$W/cert.pem" >/dev/null 2>&1
[ $? -eq 2 ] || fail "--sign-cert without --sign-key is not a usage error"

# --- the signed setup.exe installs and uninstalls under Wine
if [ -n "$driver" ]; then
  cp -r "$here/../../examples/notepad" "$W/notepad"
  mkdir -p "$W/notepad/bin"
  cp "$notepad" "$W/notepad/bin/notepad.exe"
  "$pack" build "$W/notepad/tarnwick.toml" -o "$W/notepad-setup" --arch "$arch" --stub "$stub" \
    --sign "$W/cert.p12" --sign-pass-file "$W/pass.txt" >/dev/null 2>"$W/err" || fail "signed example: $(cat "$W/err")"
  verify "$W/notepad-setup/setup.exe" || fail "the signed example's setup.exe"
  bash "$here/../gui/run_gui_test.sh" "$driver" "$W/notepad-setup/setup.exe" demo-install "$W/shots" >"$W/gui.log" 2>&1 ||
    fail "the signed setup.exe does not install: $(tail -5 "$W/gui.log")"
  bash "$here/../gui/run_gui_test.sh" "$driver" "$W/notepad-setup/setup.exe" demo-uninstall "$W/shots" >>"$W/gui.log" 2>&1 ||
    fail "the signed product does not uninstall: $(tail -5 "$W/gui.log")"
fi

[ $failures -eq 0 ] && echo "all passed"
exit $((failures > 0))
