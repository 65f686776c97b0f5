#!/usr/bin/env bash
# Makes the packages from built trees and checks them:
#   tools/packages.sh [LINUX_BUILD [MINGW_BUILD]]      (default build/, build-mingw/)
# The Release tree gives the Debian package, the mingw-w64 cross tree the
# Windows .zip; each lands in its tree's packages/. The .deb is unpacked into a
# scratch directory (dpkg -x, no root needed) and its skerry must list the
# sample disk exactly as the build tree's skerry does; its manual page must
# render without a warning, and its bash completion must offer the sample's
# drive. The .zip must hold skerry.exe, README.txt and LICENSE.txt, and the
# program must need no DLL beyond Windows' own.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
mingw=$(cd "${2:-$root/build-mingw}" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
  echo "packages: $*" >&2
  exit 1
}

make_package() {
  local tree=$1 generator=$2
  rm -rf "$tree/packages"
  (cd "$tree" && cpack -G "$generator") >"$tree/cpack.log" 2>&1 || { cat "$tree/cpack.log"; return 1; }
}

# --- The Debian package ---
make_package "$build" DEB
deb=$(ls "$build"/packages/skerry_*.deb)
echo "built $deb"
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libc6* ]] || fail "the .deb declares no dependency on the C library: '$depends'"
installed="$scratch/deb"
dpkg-deb -x "$deb" "$installed"
cmp -s "$installed/usr/share/doc/skerry/copyright" "$root/LICENSE" ||
  fail "the .deb carries no licence as /usr/share/doc/skerry/copyright"

# The sample disk of tools/demo.sh, mapped in a device directory of its own.
sample="$build/sample/sample.img"
if [ ! -f "$sample" ] || [ "$root/tools/disks/sample.disk" -nt "$sample" ] ||
  [ "$build/tools/skerry_disk_builder" -nt "$sample" ]; then
  mkdir -p "$build/sample"
  "$build/tools/skerry_disk_builder" "$root/tools/disks/sample.disk" "$sample" >/dev/null
fi
devices="$scratch/dosdevices"
mkdir "$devices"
ln -s "$sample" "$devices/physicaldrive1"
ln -s physicaldrive1/partition1 "$devices/d::"
export SKERRY_DOSDEVICES=$devices LC_ALL=C.UTF-8 TZ=UTC
"$installed/usr/bin/skerry" -ITS d: >"$scratch/installed.txt" || fail "the installed skerry failed on the sample disk"
"$build/skerry" -ITS d: >"$scratch/built.txt"
grep -qF 'D:\docs\readme.txt' "$scratch/installed.txt" || fail "the installed skerry did not list D:\\docs\\readme.txt"
diff -u "$scratch/built.txt" "$scratch/installed.txt" || fail "the installed skerry lists the sample disk differently"
echo "the installed skerry lists the sample disk ($(wc -l <"$scratch/installed.txt") lines)"

# The program's own version is the package's (a skerry without --version
# scans C: for it and fails, and is left to the option tests).
if version=$("$installed/usr/bin/skerry" --version 2>/dev/null); then
  [ "$version" = "Skerry $(dpkg-deb -f "$deb" Version)" ] ||
    fail "the installed skerry says '$version', the package $(dpkg-deb -f "$deb" Version)"
fi

warnings=$(gzip -dc "$installed/usr/share/man/man1/skerry.1.gz" | groff -man -Tutf8 -ww 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "groff warns about the manual page: $warnings"

completion=$(
  # shellcheck source=/dev/null
  source "$installed/usr/share/bash-completion/completions/skerry"
  COMP_LINE='skerry -S ' COMP_POINT=10 COMP_WORDBREAKS=$' \t\n"\'><=;|&(:'
  _skerry skerry
  echo "${COMPREPLY[*]}"
)
[ "$completion" = "d:" ] || fail "the bash completion offers '$completion' for the sample's drive D:"

# --- The Windows .zip ---
make_package "$mingw" ZIP
zip=$(ls "$mingw"/packages/skerry-*-win64.zip)
echo "built $zip"
contents=$(cd "$scratch" && cmake -E tar tf "$zip" | sort | tr '\n' ' ')
name=$(basename "$zip" .zip)
[ "$contents" = "$name/LICENSE.txt $name/README.txt $name/skerry.exe " ] ||
  fail "the .zip holds: $contents"
(cd "$scratch" && cmake -E tar xf "$zip")
dlls=$(x86_64-w64-mingw32-objdump -p "$scratch/$name/skerry.exe" | sed -n 's/^\s*DLL Name: //p' | sort -u)
for dll in $dlls; do
  case "${dll,,}" in
    kernel32.dll | msvcrt.dll | api-ms-win-*.dll | ucrtbase.dll | advapi32.dll | user32.dll) ;;
    *) fail "skerry.exe needs $dll, which Windows does not bring" ;;
  esac
done
echo "packages checked"
