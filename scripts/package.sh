#!/usr/bin/env bash
# Builds what users install into dist/: the Debian package of the Linux
# programs (ostrel_<version>_amd64.deb) and the zip of the Windows programs
# (ostrel-<version>-windows.zip), then checks what each holds: the package
# with lintian (no error, no warning), its manual pages against the
# programs' own option lists, and installed into and removed from an empty
# root with dpkg.
#
#   ./scripts/package.sh [build-folder]     (default build/package)
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/ensure-tools.sh --with-windows --with-packages
build=${1:-build/package}
configure=(-DOSTREL_WINDOWS=ON)
if [ ! -f "$build/CMakeCache.txt" ]; then
  configure+=(-DCMAKE_BUILD_TYPE=Release -DOSTREL_TESTS=OFF)
fi
cmake -S . -B "$build" "${configure[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)" --target ostrel64 ostrel32 manpages windows_zip >/dev/null
(cd "$build" && cpack -G DEB -B "$PWD/cpack" >/dev/null)

rm -rf dist
mkdir dist
cp "$build"/cpack/ostrel_*_amd64.deb "$build"/ostrel-*-windows.zip dist/
deb=$(ls dist/*.deb)
zip=$(ls dist/*.zip)

fail() { echo "package check failed: $*" >&2; exit 1; }
as_root=()
if [ "$(id -u)" -ne 0 ]; then as_root=(sudo); fi
work=$(mktemp -d)
trap '"${as_root[@]}" rm -rf "$work"' EXIT

# The Debian package: the programs where Debian's chess engines are, their
# manual pages, XBoard's entries for them, the documents; nothing else.
expected="./usr/games/ostrel32 ./usr/games/ostrel64 ./usr/share/doc/ostrel/README.md.gz \
./usr/share/doc/ostrel/changelog.gz ./usr/share/doc/ostrel/copyright \
./usr/share/games/plugins/uci/ostrel32.eng ./usr/share/games/plugins/uci/ostrel64.eng \
./usr/share/man/man6/ostrel32.6.gz ./usr/share/man/man6/ostrel64.6.gz "
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF}' | sort | tr '\n' ' ')
[ "$files" = "$expected" ] || fail "$deb holds: $files"
fields=$(dpkg-deb -f "$deb" Package Architecture Section | tr '\n' ' ')
[ "$fields" = "Package: ostrel Architecture: amd64 Section: games " ] || fail "$deb fields: $fields"
dpkg-deb -f "$deb" Maintainer | grep -Eq '^[^<>]+ <[^ @<>]+@[^ @<>]+>$' ||
  fail "$deb has no maintainer address: $(dpkg-deb -f "$deb" Maintainer)"

# Debian's own checker: any error or warning fails. Informational tags are
# shown too; one kept on purpose belongs in a lintian overrides file of the
# package, with its reason.
echo "== lintian $deb"
if ! lintian --fail-on error,warning --display-info --pedantic "$deb" 2>&1 | tee "$work/lintian.txt"; then
  fail "lintian finds errors or warnings in $deb"
fi
grep -q '^[EW]: ' "$work/lintian.txt" && fail "lintian finds errors or warnings in $deb"
echo "lintian: $(grep -c '^[A-Z]: ' "$work/lintian.txt" || true) tags"

dpkg-deb -x "$deb" "$work/unpacked"
for program in ostrel64 ostrel32; do
  binary=$work/unpacked/usr/games/$program
  "$binary" bench 2 | grep -q "^Nodes searched: " || fail "$program from $deb does not run"
  # XBoard's entry names the installed program.
  plugin=$work/unpacked/usr/share/games/plugins/uci/$program.eng
  [ "$(cat "$plugin")" = "$(printf 'plugin spec 0.0\n/usr/games/%s\nchess' "$program")" ] ||
    fail "$plugin: $(cat "$plugin")"
  # The manual page: formatted without a complaint, and every option the
  # program announces is in it with the same type, default and range.
  page=$work/unpacked/usr/share/man/man6/$program.6.gz
  complaints=$(LC_ALL=C.UTF-8 MANROFFSEQ='' man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
  [ -z "$complaints" ] || fail "man finds faults in $program.6: $complaints"
  text=$(LC_ALL=C.UTF-8 MANWIDTH=250 man -l "$page" 2>/dev/null)
  grep -q "^NAME" <<<"$text" && grep -q "^UCI OPTIONS" <<<"$text" || fail "$program.6 has no NAME or UCI OPTIONS"
  options=$(cd "$work" && printf 'uci\nquit\n' | "$binary" | sed -n 's/^option name //p')
  [ -n "$options" ] || fail "$program announces no options"
  while read -r option; do
    name=${option% type *}
    rest=${option##* type }
    case $rest in
      spin*) entry=$(sed -E 's/^spin default (-?[0-9]+) min (-?[0-9]+) max (-?[0-9]+)$/spin, default \1, range \2 to \3/' <<<"$rest") ;;
      check*) entry="check, default ${rest#check default }" ;;
      *) entry=$rest ;;
    esac
    grep -qF "$name ($entry" <<<"${text//−/-}" || fail "$program.6 lacks the option \"$name ($entry\""
  done <<<"$options"
done
rm -f "$work"/*.log

# Installed into an empty root and removed again: nothing may be left but
# dpkg's own records of an empty system.
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
"${as_root[@]}" dpkg --root="$root" --force-depends -i "$deb" >/dev/null 2>&1 || fail "dpkg cannot install $deb"
installed=$(cd "$root" && find . ! -type d ! -path './var/lib/dpkg/*' | sort | tr '\n' ' ')
[ "$installed" = "$expected" ] || fail "dpkg installed: $installed"
"${as_root[@]}" dpkg --root="$root" -P ostrel >/dev/null
left=$(cd "$root" && find . ! -path './var/lib/dpkg/*' ! -path ./var/lib/dpkg ! -path ./var/lib ! -path ./var ! -path .)
[ -z "$left" ] || fail "removing the package leaves: $left"
grep -q '^Package: ostrel$' "$root/var/lib/dpkg/status" && fail "dpkg still knows the package after purging it"
ls "$root/var/lib/dpkg/info" | grep -q '^ostrel\.' && fail "dpkg keeps files of the package after purging it"

# The Windows zip: both programs, 64-bit and 32-bit, needing nothing but
# the DLLs of every Windows; the text for Windows users and the licence.
files=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
[ "$files" = "COPYING.txt README.txt ostrel32.exe ostrel64.exe " ] || fail "$zip holds: $files"
unzip -q "$zip" -d "$work/windows"
x86_64-w64-mingw32-objdump -f "$work/windows/ostrel64.exe" | grep -q "file format pei-x86-64" ||
  fail "ostrel64.exe is not a 64-bit program"
x86_64-w64-mingw32-objdump -f "$work/windows/ostrel32.exe" | grep -q "file format pei-i386" ||
  fail "ostrel32.exe is not a 32-bit program"
for exe in ostrel64.exe ostrel32.exe; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$work/windows/$exe" | awk '/DLL Name:/ {print $3}' | sort | tr '\n' ' ')
  [ "$dlls" = "KERNEL32.dll msvcrt.dll " ] || fail "$exe imports $dlls"
done

echo "== Packages in dist/"
dpkg-deb -c "$deb"
unzip -l "$zip"
ls -l dist
