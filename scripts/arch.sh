#!/usr/bin/env bash
# Sourced by the scripts that build, test or run Windows programs: which
# architecture this host tests and with which Wine loader.
#
#   BOUNTIQ_TEST_ARCH  i686 where the host executes 32-bit programs, x86_64
#                      where it cannot (a kernel without 32-bit emulation);
#                      set it beforehand to force one
#   BOUNTIQ_WINE       the Wine loader for that architecture: every script
#                      and ctest start Windows programs through it (scripts/wine)
#   BOUNTIQ_BUILD      the build folder of that architecture
#   BOUNTIQ_TRIPLE     the mingw-w64 target of that architecture
#
# Run as a program, it prints the architecture.

bountiq_top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Whether this host executes 32-bit x86 programs: a 96-byte static ELF that
# exits with 42 through the 32-bit system call gate. Where the kernel has no
# 32-bit emulation exec refuses it at once, so the check cannot hang; the
# time-out is for a host that is broken some other way. The answer is kept
# in BOUNTIQ_HOST_RUNS_32BIT (1 or 0) for this shell and the programs it
# starts, so the launchers and scripts inside a session ask only once.
bountiq_host_runs_32bit() {
  if [ -z "${BOUNTIQ_HOST_RUNS_32BIT:-}" ]; then
    if bountiq_probe_32bit; then BOUNTIQ_HOST_RUNS_32BIT=1; else BOUNTIQ_HOST_RUNS_32BIT=0; fi
    export BOUNTIQ_HOST_RUNS_32BIT
  fi
  [ "$BOUNTIQ_HOST_RUNS_32BIT" = 1 ]
}
bountiq_probe_32bit() {
  local probe rc
  probe=$(mktemp "${TMPDIR:-/tmp}/bountiq-elf32.XXXXXX") || return 1
  printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10\140\0\0\0\140\0\0\0\5\0\0\0\0\20\0\0\270\1\0\0\0\273\52\0\0\0\315\200' >"$probe"
  chmod +x "$probe"
  timeout 10 "$probe" >/dev/null 2>&1
  rc=$?
  rm -f "$probe"
  [ "$rc" = 42 ]
}

# The Wine loader that runs programs of an architecture. Debian's
# /usr/bin/wine starts the 32-bit loader first, whatever the program: where
# that cannot execute, only the 64-bit loader itself works.
bountiq_loader() {  # bountiq_loader ARCH
  case "$1" in
    i686) echo wine ;;
    x86_64) echo /usr/lib/wine/wine64 ;;
  esac
}

bountiq_forced=${BOUNTIQ_TEST_ARCH:-}
if [ -z "${BOUNTIQ_TEST_ARCH:-}" ]; then
  if bountiq_host_runs_32bit; then BOUNTIQ_TEST_ARCH=i686; else BOUNTIQ_TEST_ARCH=x86_64; fi
fi
case "$BOUNTIQ_TEST_ARCH" in
  i686) BOUNTIQ_BUILD=$bountiq_top/build ;;
  x86_64) BOUNTIQ_BUILD=$bountiq_top/build-x86_64 ;;
  *)
    echo "BOUNTIQ_TEST_ARCH is i686 or x86_64, not '$BOUNTIQ_TEST_ARCH'" >&2
    return 2 2>/dev/null || exit 2 ;;
esac
BOUNTIQ_WINE=${BOUNTIQ_WINE:-$(bountiq_loader "$BOUNTIQ_TEST_ARCH")}
BOUNTIQ_TRIPLE=$BOUNTIQ_TEST_ARCH-w64-mingw32
export BOUNTIQ_TEST_ARCH BOUNTIQ_WINE BOUNTIQ_BUILD BOUNTIQ_TRIPLE
# Windows programs that start other Windows programs do so with this loader.
[ "$BOUNTIQ_TEST_ARCH" = x86_64 ] && export WINELOADER=${WINELOADER:-$BOUNTIQ_WINE}

# Run as a program: print the architecture, or with --why, one line that
# says which build is tested and why.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  if [ "${1:-}" = --why ]; then
    if [ -n "${bountiq_forced:-}" ]; then why="BOUNTIQ_TEST_ARCH=$BOUNTIQ_TEST_ARCH"
    elif [ "$BOUNTIQ_TEST_ARCH" = i686 ]; then why="this host executes 32-bit programs"
    else why="this host cannot execute 32-bit programs"; fi
    echo "Testing the $BOUNTIQ_TEST_ARCH build in ${BOUNTIQ_BUILD#"$bountiq_top"/}/ ($why)"
  else
    echo "$BOUNTIQ_TEST_ARCH"
  fi
fi
