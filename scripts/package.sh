#!/usr/bin/env bash
# Builds what users install into dist/: the Debian package of the Linux
# programs (ostrel_<version>_amd64.deb) and the zip of the Windows programs
# (ostrel-<version>-windows.zip), then checks what each holds.
#
#   ./scripts/package.sh [build-folder]     (default build/package)
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/ensure-tools.sh --with-windows
build=${1:-build/package}
configure=(-DOSTREL_WINDOWS=ON)
if [ ! -f "$build/CMakeCache.txt" ]; then
  configure+=(-DCMAKE_BUILD_TYPE=Release -DOSTREL_TESTS=OFF)
fi
cmake -S . -B "$build" "${configure[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)" --target ostrel64 ostrel32 windows_zip >/dev/null
(cd "$build" && cpack -G DEB -B "$PWD/cpack" >/dev/null)

rm -rf dist
mkdir dist
cp "$build"/cpack/ostrel_*_amd64.deb "$build"/ostrel-*-windows.zip dist/
deb=$(ls dist/*.deb)
zip=$(ls dist/*.zip)

fail() { echo "package check failed: $*" >&2; exit 1; }

# The Debian package: both programs on the PATH, the README, nothing else.
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF}' | sort | tr '\n' ' ')
[ "$files" = "./usr/bin/ostrel32 ./usr/bin/ostrel64 ./usr/share/doc/ostrel/README.md " ] ||
  fail "$deb holds: $files"
[ "$(dpkg-deb -f "$deb" Package Architecture | tr '\n' ' ')" = "Package: ostrel Architecture: amd64 " ] ||
  fail "$deb fields: $(dpkg-deb -f "$deb" Package Architecture)"
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
for program in ostrel64 ostrel32; do
  "$unpacked/usr/bin/$program" bench 2 | grep -q "^Nodes searched: " || fail "$program from $deb does not run"
done

# The Windows zip: both programs, 64-bit and 32-bit, needing nothing but
# the DLLs of every Windows; the text for Windows users.
files=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
[ "$files" = "README.txt ostrel32.exe ostrel64.exe " ] || fail "$zip holds: $files"
unzip -q "$zip" -d "$unpacked/windows"
x86_64-w64-mingw32-objdump -f "$unpacked/windows/ostrel64.exe" | grep -q "file format pei-x86-64" ||
  fail "ostrel64.exe is not a 64-bit program"
x86_64-w64-mingw32-objdump -f "$unpacked/windows/ostrel32.exe" | grep -q "file format pei-i386" ||
  fail "ostrel32.exe is not a 32-bit program"
for exe in ostrel64.exe ostrel32.exe; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$unpacked/windows/$exe" | awk '/DLL Name:/ {print $3}' | sort | tr '\n' ' ')
  [ "$dlls" = "KERNEL32.dll msvcrt.dll " ] || fail "$exe imports $dlls"
done

echo "== Packages in dist/"
dpkg-deb -c "$deb"
unzip -l "$zip"
ls -l dist
