#!/usr/bin/env bash
# Runs a windowed Windows program of the build under Wine on a private X
# server (Xvfb), for CTest.
#   run-gui-under-wine.sh BITS PREFIX PROGRAM [ARGS...]
# BITS is 32 or 64, PREFIX the Wine prefix (made on first use, with one
# framed 1024x768 virtual desktop so that windows get frames, and Wine's own
# Marlett font for their caption buttons). The program loads WNASPI32.dll
# from its own folder (the stand-in), not Wine's built-in one.
# Exits 77 (CTest's skip code here) when this machine can't run such a
# program at all: no Wine, no Xvfb, or a kernel that can't execute Wine's
# loader of that kind.
set -u
bits=$1 prefix=$2
shift 2

case $bits in
  32) loader=/usr/lib/wine/wine arch=win32 ;;
  64) loader=/usr/lib/wine/wine64 arch=win64 ;;
  *) echo "run-gui-under-wine.sh: BITS must be 32 or 64" >&2; exit 2 ;;
esac
if [ ! -x "$loader" ]; then
  echo "SKIP: $loader not installed (tools/install-deps.sh installs Wine)"
  exit 77
fi
if ! "$loader" --version >/dev/null 2>&1; then
  echo "SKIP: this machine can't execute Wine's $bits-bit loader"
  exit 77
fi
if ! command -v Xvfb >/dev/null; then
  echo "SKIP: Xvfb not installed (tools/install-deps.sh installs it)"
  exit 77
fi
wineserver=${loader%/*}/wineserver

# A private display: Xvfb picks a free number and writes it to fd 3.
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
if [ ! -s "$display_file" ]; then
  echo "Xvfb did not start" >&2
  kill "$xvfb" 2>/dev/null
  exit 1
fi
export DISPLAY=:$(cat "$display_file")
rm -f "$display_file"

export WINEPREFIX=$prefix WINEARCH=$arch WINELOADER=$loader WINEDEBUG=-all
# No Mono or Gecko installer prompts; the stand-in ASPI from the program's folder.
export WINEDLLOVERRIDES="mscoree=;mshtml=;wnaspi32=n"

finish() {
  "$wineserver" -k 2>/dev/null
  "$wineserver" -w 2>/dev/null
  kill "$xvfb" 2>/dev/null
  wait "$xvfb" 2>/dev/null
}
trap finish EXIT

if [ ! -f "$prefix/.corvix-gui" ]; then
  mkdir -p "$(dirname "$prefix")"
  "$loader" wineboot -i >/dev/null 2>&1
  "$wineserver" -w 2>/dev/null
  if [ ! -f "$prefix/system.reg" ]; then
    echo "Wine could not make the prefix $prefix" >&2
    exit 1
  fi
  reg=$(mktemp --suffix=.reg)
  printf '%s\r\n' 'REGEDIT4' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Explorer]' '"Desktop"="Default"' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]' '"Default"="1024x768"' '' >"$reg"
  "$loader" regedit /S "$(echo "Z:$reg" | tr / '\\')" >/dev/null 2>&1
  "$wineserver" -w 2>/dev/null
  rm -f "$reg"
  for font in marlett.ttf tahoma.ttf tahomabd.ttf; do
    [ -f "/usr/share/wine/fonts/$font" ] && cp "/usr/share/wine/fonts/$font" "$prefix/drive_c/windows/Fonts/"
  done
  touch "$prefix/.corvix-gui"
fi

"$loader" "$@"
