#!/usr/bin/env bash
# Installs everything the build and the tests need, from Debian's archive,
# on a machine that may have nothing. Safe to run again: it only does what is
# missing. libpng is cross-built from Debian's source package into a cache
# folder (BOUNTIQ_DEPS, default .deps/ of the work tree) that CMake reads,
# once for each architecture named (default: i686).
#   scripts/setup.sh [i686] [x86_64]
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
deps=${BOUNTIQ_DEPS:-$top/.deps}
stamp=$deps/.packages-ok
sudo=""
[ "$(id -u)" = 0 ] || sudo=sudo

packages=(
  wine wine32:i386 wine64 fonts-wine xvfb x11-utils x11-apps imagemagick xdotool
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  mingw-w64-i686-dev libz-mingw-w64-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-x86-64-dev
  cmake make g++ googletest dpkg-dev gawk python3 python3-pefile icoutils time openssl wixl
  osslsigncode faketime locales librsvg2-bin optipng
  clang-14 libclang-rt-14-dev llvm
)

missing_packages() {
  local p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${db:Status-Status}\n' "$p" 2>/dev/null | grep -qx installed || echo "$p"
  done
}

install_packages() {
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  # apt-get source needs a deb-src entry; mirror the binary sources.
  local src=/etc/apt/sources.list.d/bountiq-deb-src.sources
  if [ ! -f "$src" ] && ! grep -rqs '^\(Types:.*deb-src\|deb-src\)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | $sudo tee "$src" >/dev/null
    else
      grep -h '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | $sudo tee "${src%.sources}.list" >/dev/null
    fi
  fi
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${packages[@]}"
}

# The decoder only: writing, stdio and the progressive reader are left out,
# which also keeps zlib's deflate out of the programs, and so are the
# ancillary chunks the pictures do not need (text, profiles, palettes of
# suggestions, histograms, calibration, times, offsets, resolution): such
# chunks are skipped. Changing this list changes the stamp, so the next run
# builds libpng again.
png_options='option WRITE off
option STDIO off
option CONSOLE_IO off
option PROGRESSIVE_READ off
option MNG_FEATURES off
option FLOATING_ARITHMETIC off
option READ_TEXT off
option READ_iCCP off
option READ_sPLT off
option READ_hIST off
option READ_pCAL off
option READ_sCAL off
option READ_tIME off
option READ_oFFs off
option READ_pHYs off
option CONVERT_tIME off'
# No unwind tables in C code: with them the linker keeps every function of
# each object it loads.
png_cflags='-ffunction-sections -fdata-sections -fno-asynchronous-unwind-tables -fno-unwind-tables'

build_libpng() {  # build_libpng ARCH
  local arch=$1
  local prefix=$deps/$arch/libpng
  local stamp=$prefix/.options-$(printf '%s %s' "$png_options" "$png_cflags" | md5sum | cut -c1-12)
  [ -f "$stamp" ] && [ -f "$prefix/lib/libpng16.a" ] && return 0
  rm -rf "$prefix"
  local work=$deps/src-$arch
  rm -rf "$work" && mkdir -p "$work"
  # The newest source version may not be on the mirror yet: take the newest
  # one that downloads.
  local v fetched=""
  for v in $(apt-cache showsrc libpng1.6 | sed -n 's/^Version: //p' | sort -rV); do
    if (cd "$work" && apt-get source -q --download-only "libpng1.6=$v" >/dev/null 2>&1); then
      fetched=$v; break
    fi
  done
  [ -n "$fetched" ] || { echo "setup: could not fetch the libpng1.6 source package" >&2; return 1; }
  (cd "$work" && dpkg-source -x --no-check libpng1.6_*.dsc libpng >/dev/null)
  printf '%s\n' "$png_options" >"$work/decoder-only.dfa"
  cmake -S "$work/libpng" -B "$work/build" -G "Unix Makefiles" \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DPNG_TOOLS=OFF -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_FILES=ON \
    -DDFA_XTRA="$work/decoder-only.dfa" \
    -DCMAKE_C_FLAGS="$png_cflags" >/dev/null
  cmake --build "$work/build" -j"$(nproc)" >/dev/null
  cmake --install "$work/build" >/dev/null
  rm -rf "$work"
  touch "$stamp"
}

# The locales the offer tests run Wine with (the user's country follows the
# locale), compiled into the cache folder: the system's list stays as it is.
build_locales() {
  local l
  for l in de_DE pt_BR ru_RU; do
    [ -f "$deps/locale/$l.UTF-8/LC_CTYPE" ] && continue
    mkdir -p "$deps/locale"
    localedef -i "$l" -f UTF-8 "$deps/locale/$l.UTF-8" 2>/dev/null ||
      [ -f "$deps/locale/$l.UTF-8/LC_CTYPE" ] || { echo "setup: could not compile the locale $l" >&2; return 1; }
  done
}

if [ ! -f "$stamp" ] || [ -n "$(missing_packages)" ]; then
  install_packages
  mkdir -p "$deps" && touch "$stamp"
fi
archs=("$@")
[ ${#archs[@]} -gt 0 ] || archs=(i686)
for arch in "${archs[@]}"; do
  case "$arch" in
    i686|x86_64) build_libpng "$arch" ;;
    *) echo "setup: no architecture '$arch' (i686 or x86_64)" >&2; exit 2 ;;
  esac
done
build_locales
