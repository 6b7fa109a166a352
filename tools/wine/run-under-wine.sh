#!/usr/bin/env bash
# Runs a Windows program of the build under Wine, for CTest.
#   run-under-wine.sh BITS PREFIX PROGRAM [ARGS...]
#   run-under-wine.sh BITS PREFIX --make-prefix
# BITS is 32 or 64 (the program's kind), PREFIX the Wine prefix to use (made
# on first use; --make-prefix only makes it). Exits 77 (CTest's skip code
# here) only when this machine can't run Wine programs of that kind: a kernel
# that can't execute Wine's 32-bit loader, or, outside CI, Wine not installed.
# In CI (CI set) a missing Wine, or a 64-bit Wine that does not run, fails.
set -u
bits=$1 prefix=$2
shift 2

case $bits in
  32) loader=/usr/lib/wine/wine arch=win32 ;;
  64) loader=/usr/lib/wine/wine64 arch=win64 ;;
  *) echo "run-under-wine.sh: BITS must be 32 or 64" >&2; exit 2 ;;
esac
if [ ! -x "$loader" ]; then
  echo "SKIP: $loader not installed (tools/install-deps.sh installs Wine)"
  [ -n "${CI:-}" ] && exit 1
  exit 77
fi
if ! "$loader" --version >/dev/null 2>&1; then
  echo "SKIP: this machine can't execute Wine's $bits-bit loader ($("$loader" --version 2>&1 | head -n 1))"
  [ -n "${CI:-}" ] && [ "$bits" = 64 ] && exit 1
  exit 77
fi

export WINEPREFIX=$prefix WINEARCH=$arch WINELOADER=$loader WINEDEBUG=-all
# No Mono or Gecko installer prompts while the prefix is made; and Wine has a
# WNASPI32.dll of its own, which must not be taken for the stand-in beside the
# program.
export WINEDLLOVERRIDES="mscoree=;mshtml=;wnaspi32=n"
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$(dirname "$prefix")"
  "$loader" wineboot -i >/dev/null 2>&1
  "${loader%/*}/wineserver" -w 2>/dev/null || true
  if [ ! -f "$prefix/system.reg" ]; then
    echo "Wine could not make the prefix $prefix" >&2
    exit 1
  fi
fi
[ "$1" = --make-prefix ] && exit 0
"$loader" "$@"
status=$?
# Wait for the Wine server to go, so that nothing of Wine outlives the test.
"${loader%/*}/wineserver" -w 2>/dev/null || true
exit $status
