#!/usr/bin/env bash
# The installed tools: `cmake --install` into a prefix and the Debian package CPack makes, each
# checked for its files and then used: the packager run from there finds the setup programs
# installed beside it (not the build tree's) for both architectures.
#   pack_install_test.sh <native build folder> <setup.exe x64> <setup.exe x86> <launcher x64> <launcher x86>
set -u
build=$1 stub64=$2 stub86=$3 launcher64=$4 launcher86=$5
for stub in "$stub64" "$stub86" "$launcher64" "$launcher86"; do
  [ -f "$stub" ] || { echo "SKIP: $stub is not built (build the win64 and win32 presets first)"; exit 77; }
done
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
W=$(mktemp -d /tmp/tarnwick-pack-install.XXXXXX)
trap 'rm -rf "$W"' EXIT
unset TARNWICK_STUB_DIR

mkdir -p "$W/product"
printf 'hello\r\n' > "$W/product/hello.txt"
cat > "$W/product/tarnwick.toml" <<'TOML'
[product]
name        = "Installed Packager Check"
publisher   = "Example"
destination = '[PROGRAMFILES]\Installed Packager Check'
[[files]]
source = "hello.txt"
to     = '[INSTALLDIR]'
TOML

# Builds with the packager at $1 for both architectures and checks it shipped the right stubs.
use_packager() {
  local pack=$1 share=$2 label=$3
  "$pack" --version | grep -q '^tarnwick-pack ' || fail "$label: --version"
  for arch in x64 x86; do
    "$pack" build "$W/product/tarnwick.toml" -o "$W/out-$label-$arch" --arch "$arch" >/dev/null 2>"$W/err" ||
      { fail "$label: build --arch $arch: $(cat "$W/err")"; continue; }
    cmp -s "$W/out-$label-$arch/setup.exe" "$share/$arch/setup.exe" || fail "$label: --arch $arch did not ship $share/$arch/setup.exe"
    "$pack" verify "$W/out-$label-$arch" | grep -q "setup.exe for $arch" || fail "$label: verify --arch $arch"
    # --single-file takes the launcher installed beside the stub.
    "$pack" build "$W/product/tarnwick.toml" -o "$W/one-$label-$arch" --arch "$arch" --single-file >/dev/null 2>"$W/err" ||
      { fail "$label: build --single-file --arch $arch: $(cat "$W/err")"; continue; }
    local one="$W/one-$label-$arch/Installed Packager Check-setup.exe"
    [ "$(ls "$W/one-$label-$arch")" = "Installed Packager Check-setup.exe" ] || fail "$label: --single-file wrote $(ls "$W/one-$label-$arch")"
    cmp -s -n "$(stat -c %s "$share/$arch/tarnwick-launcher.exe")" "$one" "$share/$arch/tarnwick-launcher.exe" ||
      fail "$label: the one-file setup for $arch does not start with $share/$arch/tarnwick-launcher.exe"
  done
}

# --- cmake --install
cmake --install "$build" --prefix "$W/prefix" >"$W/install.log" 2>&1 || fail "cmake --install: $(tail -5 "$W/install.log")"
for f in bin/tarnwick-pack bin/tarnwick-zip share/tarnwick/x64/setup.exe share/tarnwick/x86/setup.exe \
         share/tarnwick/x64/tarnwick-launcher.exe share/tarnwick/x86/tarnwick-launcher.exe share/doc/Tarnwick/manifest.md; do
  [ -f "$W/prefix/$f" ] || fail "cmake --install did not install $f"
done
cmp -s "$W/prefix/share/tarnwick/x64/setup.exe" "$stub64" || fail "the installed x64 stub is not the built one"
cmp -s "$W/prefix/share/tarnwick/x86/setup.exe" "$stub86" || fail "the installed x86 stub is not the built one"
use_packager "$W/prefix/bin/tarnwick-pack" "$W/prefix/share/tarnwick" prefix
# A moved prefix still works: the stubs are found beside the program, not at a fixed path.
mv "$W/prefix" "$W/moved"
use_packager "$W/moved/bin/tarnwick-pack" "$W/moved/share/tarnwick" moved

# --- the Debian package
(cd "$build" && cpack -G DEB -B "$W/cpack" >"$W/cpack.log" 2>&1) || fail "cpack: $(tail -5 "$W/cpack.log")"
deb=$(ls "$W"/cpack/tarnwick-tools_*.deb 2>/dev/null | head -n 1)
if [ -z "$deb" ]; then
  fail "cpack made no tarnwick-tools .deb: $(ls "$W/cpack")"
else
  dpkg-deb -f "$deb" Package | grep -qx tarnwick-tools || fail "package name"
  dpkg-deb -f "$deb" Depends | grep -q libc6 || fail "no library dependencies computed: $(dpkg-deb -f "$deb" Depends)"
  contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
  for f in ./usr/bin/tarnwick-pack ./usr/bin/tarnwick-zip ./usr/share/tarnwick/x64/setup.exe ./usr/share/tarnwick/x86/setup.exe \
           ./usr/share/tarnwick/x64/tarnwick-launcher.exe ./usr/share/tarnwick/x86/tarnwick-launcher.exe; do
    grep -qx "$f" <<<"$contents" || fail "the package lacks $f"
  done
  dpkg-deb -x "$deb" "$W/unpacked"
  use_packager "$W/unpacked/usr/bin/tarnwick-pack" "$W/unpacked/usr/share/tarnwick" deb
fi

[ $failures -eq 0 ] && echo "all passed"
exit $((failures > 0))
