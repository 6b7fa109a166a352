#!/usr/bin/env bash
# Packs the Windows zip and the Debian package as `make dist` does, into OUT
# rather than dist/, and looks at them as a packager would: the zip's members
# and its programs' DLL imports, the .deb unpacked (never installed) and run,
# and lintian. Run from the top of the source tree with the dist and win32
# trees built (`make dist-test`). Exit 77 when a tool is missing.
#
# usage: check_packages.sh CPACK OUT DEMO_DISC
set -euo pipefail
cpack=$1 out=$2 demo=$3

for need in unzip:unzip file:file objdump:binutils dpkg-deb:dpkg dpkg-shlibdeps:dpkg-dev lintian:lintian; do
  if ! command -v "${need%%:*}" >/dev/null; then
    echo "SKIP: ${need%%:*} not found (Debian package ${need#*:})"
    exit 77
  fi
done
fail() { echo "FAIL: $*"; exit 1; }

rm -rf "$out" && mkdir -p "$out"
for preset in zip deb; do
  "$cpack" --preset "$preset" -B "$out" >"$out/cpack-$preset.log" 2>&1 ||
    { cat "$out/cpack-$preset.log"; fail "cpack --preset $preset"; }
done

# The .deb, unpacked into a folder and run from there.
deb=$(ls "$out"/*.deb)
dpkg-deb -x "$deb" "$out/deb"
corvix=$out/deb/usr/bin/corvix
version=$("$corvix" --version) || fail "corvix --version"
version=${version#corvix }
[ "$(basename "$deb")" = "corvix_${version}_$(dpkg --print-architecture).deb" ] ||
  fail "$(basename "$deb") is not named for version $version"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the package's version is not corvix's $version"
"$corvix" list "$demo" >"$out/list.txt" && grep -q "^PARTITION  A" "$out/list.txt" ||
  fail "corvix list of the demo disc: $(cat "$out/list.txt")"
expected="./usr/bin/corvix ./usr/share/doc/corvix/changelog.gz ./usr/share/doc/corvix/copyright ./usr/share/man/man1/corvix.1.gz"
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort | xargs)
[ "$files" = "$expected" ] || fail "the .deb holds: $files"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"
dpkg-deb -f "$deb" Depends | grep -q 'libc6' || fail "no Depends computed from the binary"
echo "lintian $(basename "$deb"):"
lintian --fail-on error "$deb" || fail "lintian reports errors"

# The zip: exactly these members (Corvix.exe and corvix.exe apart: Windows
# doesn't tell the names apart), 32-bit programs needing only Windows' DLLs.
zip=$out/Corvix-$version-win32.zip
[ -f "$zip" ] || fail "no $(basename "$zip") (found: $(cd "$out" && ls ./*.zip))"
members=$(unzip -Z1 "$zip" | grep -v '/$' | sort | xargs)
[ "$members" = "Corvix.exe LICENSE.txt README.txt command-line/corvix.exe corvix-guide.html" ] ||
  fail "the zip holds: $members"
unzip -q "$zip" -d "$out/zip"
system_dlls='^(kernel32|user32|gdi32|comctl32|comdlg32|shell32|advapi32|winmm|ole32|oleaut32|msvcrt|shlwapi|version|setupapi|ws2_32)\.dll$'
for exe in Corvix.exe:GUI command-line/corvix.exe:console; do
  path=$out/zip/${exe%%:*}
  file -b "$path" | grep -q "^PE32 executable (${exe#*:}) Intel 80386" ||
    fail "${exe%%:*}: $(file -b "$path")"
  dlls=$(objdump -p "$path" | awk '/DLL Name:/ {print $3}' | xargs)
  echo "${exe%%:*} imports: $dlls"
  for dll in $dlls; do
    echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$system_dlls" || fail "${exe%%:*} needs $dll"
  done
done
echo "zip and .deb of corvix $version checked"
