#!/usr/bin/env bash
# Brings a fresh Debian 12 machine to the state the builds and tests need.
# Idempotent: every step checks first and does nothing when its result is there.
# Everything it builds lands in .deps/ (ignored by git):
#   .deps/win64, .deps/win32   install prefixes: libjpeg-turbo (static) and GoogleTest for MinGW
#   .deps/src, .deps/build     sources and build trees of those
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
DEPS="$ROOT/.deps"
mkdir -p "$DEPS"
log() { printf '[bootstrap] %s\n' "$*"; }

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

# apt-get update sometimes meets an index in the middle of a mirror sync; a later try works.
apt_update() {
  local try
  for try in 1 2 3 4; do
    as_root apt-get update -qq && return 0
    log "apt-get update failed (try $try), retrying"
    sleep $((try * 5))
  done
  return 1
}

PACKAGES=(
  build-essential cmake ninja-build pkg-config python3 dpkg-dev file
  mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix gcc-mingw-w64-x86-64-posix
  gcc-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 libz-mingw-w64-dev
  wine wine64 fonts-wine fonts-liberation xvfb xauth x11-utils x11-apps imagemagick liblnk-utils
  zip unzip p7zip-full clang llvm libclang-rt-14-dev libssl-dev openssl zlib1g-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev nasm
  libtomlplusplus-dev libcli11-dev osslsigncode libdeflate-dev
  wine32:i386
)

# The i686 programs run under 32-bit Wine, which comes from the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  log "adding the i386 architecture (for 32-bit Wine)"
  as_root dpkg --add-architecture i386
fi

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  log "installing: ${missing[*]}"
  apt_update
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# MinGW's default alternatives are the win32 thread model; GoogleTest needs std::mutex, which only
# the posix flavour has. Our toolchain files name the -posix compilers directly, so nothing to switch.

# --- Debian source packages, and libjpeg-turbo cross-built static for both MinGW targets ---------
debian_source() { # $1 = source package: prints the folder of its unpacked source
  local name=$1
  local dir
  dir=$(find "$DEPS/src" -maxdepth 1 -type d -name "$name-*" 2>/dev/null | head -n 1)
  if [ -n "$dir" ] && { [ -f "$dir/CMakeLists.txt" ] || [ -f "$dir/Makefile" ]; }; then echo "$dir"; return 0; fi
  # The source-package entry is derived from the machine's own Debian sources, so no archive host
  # name is written here.
  if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    local src=/etc/apt/sources.list.d/debian.sources
    if [ -f "$src" ]; then
      sed 's/^Types: deb$/Types: deb-src/' "$src" | as_root tee /etc/apt/sources.list.d/tarnwick-debian-src.sources >/dev/null
    elif [ -f /etc/apt/sources.list ]; then
      grep '^deb ' /etc/apt/sources.list | grep -v 'deb-src' | sed 's/^deb /deb-src /' |
        as_root tee /etc/apt/sources.list.d/tarnwick-debian-src.list >/dev/null
    else
      log "no Debian apt source found to derive a source-package entry from"; return 1
    fi
    apt_update
  fi
  mkdir -p "$DEPS/src"
  local try
  for try in 1 2 3; do
    (cd "$DEPS/src" && apt-get source -qq "$name" >/dev/null 2>&1) && break
    log "apt-get source $name failed (try $try)"; apt_update || true; sleep 5
  done
  dir=$(find "$DEPS/src" -maxdepth 1 -type d -name "$name-*" | head -n 1)
  [ -n "$dir" ] || { log "$name source not found"; return 1; }
  echo "$dir"
}

build_jpeg() { # $1 = win64|win32, $2 = toolchain file
  # Built for size, each function in a section of its own, so that setup.exe keeps only the
  # decoder it calls (the stamp names the flags: a change of flags builds it again).
  local prefix="$DEPS/$1" stamp="$DEPS/$1/.jpeg-os-sections-done"
  [ -f "$stamp" ] && return 0
  local src; src=$(debian_source libjpeg-turbo)
  log "building libjpeg-turbo for $1"
  rm -rf "$DEPS/build/jpeg-$1"
  cmake -S "$src" -B "$DEPS/build/jpeg-$1" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$2" \
    -DCMAKE_BUILD_TYPE=Release -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF \
    -DWITH_TURBOJPEG=OFF -DCMAKE_INSTALL_PREFIX="$prefix" -Wno-dev \
    -DCMAKE_C_FLAGS_RELEASE="-Os -DNDEBUG -ffunction-sections -fdata-sections" >/dev/null
  cmake --build "$DEPS/build/jpeg-$1" --target jpeg-static >/dev/null
  mkdir -p "$prefix/lib" "$prefix/include"
  # Replaced in one step: builds of other work trees may link against it meanwhile.
  cp "$DEPS/build/jpeg-$1/libjpeg.a" "$prefix/lib/libjpeg.a.new" && mv -f "$prefix/lib/libjpeg.a.new" "$prefix/lib/libjpeg.a"
  cp "$DEPS/build/jpeg-$1/jconfig.h" "$src/jpeglib.h" "$src/jmorecfg.h" "$src/jerror.h" "$prefix/include/"
  touch "$stamp"
}

# --- libdeflate's decompressor and CRC-32, cross-built static from Debian's source package ------
# Only the four files extraction needs; built for speed (it is the inner loop of extraction), each
# function in a section of its own.
build_deflate() { # $1 = win64|win32, $2 = compiler
  local prefix="$DEPS/$1" stamp="$DEPS/$1/.deflate-done"
  [ -f "$stamp" ] && return 0
  local src; src=$(debian_source libdeflate)
  log "building libdeflate for $1"
  local out="$DEPS/build/deflate-$1" f objects=()
  rm -rf "$out" && mkdir -p "$out"
  for f in deflate_decompress crc32 utils x86/cpu_features; do
    "$2" -O2 -DNDEBUG -ffunction-sections -fdata-sections -fvisibility=hidden -I"$src" \
      -c "$src/lib/$f.c" -o "$out/${f//\//_}.o"
    objects+=("$out/${f//\//_}.o")
  done
  mkdir -p "$prefix/lib" "$prefix/include"
  "${2%gcc*}ar" rcs "$out/libdeflate.a" "${objects[@]}"
  cp "$out/libdeflate.a" "$prefix/lib/libdeflate.a.new" && mv -f "$prefix/lib/libdeflate.a.new" "$prefix/lib/libdeflate.a"
  cp "$src/libdeflate.h" "$prefix/include/"
  touch "$stamp"
}

build_gtest() { # $1 = win64|win32, $2 = toolchain file
  local prefix="$DEPS/$1" stamp="$DEPS/$1/.gtest-done"
  [ -f "$stamp" ] && return 0
  log "building GoogleTest for $1"
  rm -rf "$DEPS/build/gtest-$1"
  cmake -S /usr/src/googletest -B "$DEPS/build/gtest-$1" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$2" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -Dgtest_disable_pthreads=OFF \
    -DCMAKE_EXE_LINKER_FLAGS=-static >/dev/null
  cmake --build "$DEPS/build/gtest-$1" >/dev/null
  cmake --install "$DEPS/build/gtest-$1" >/dev/null
  touch "$stamp"
}

build_jpeg win64 "$ROOT/cmake/mingw-x86_64.cmake"
build_jpeg win32 "$ROOT/cmake/mingw-i686.cmake"
build_deflate win64 x86_64-w64-mingw32-gcc-posix
build_deflate win32 i686-w64-mingw32-gcc-posix
build_gtest win64 "$ROOT/cmake/mingw-x86_64.cmake"
build_gtest win32 "$ROOT/cmake/mingw-i686.cmake"
log "ready"
