#!/usr/bin/env bash
# Inspects the Debian package that `bash scripts/quor.sh package` made, the
# way a Debian machine and a software centre will read it: its control
# fields and dependencies, every file it puts on the disk, its menu entry and
# its AppStream metadata, and the binaries themselves.
set -euo pipefail
cd "$(dirname "$0")/../.."

debs=(build/package/quor_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: no single package in build/package" >&2; exit 1; }
deb=${debs[0]}
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
expect() { [ "$2" = "$3" ] || fail "$1: '$2', expected '$3'"; }

version=$(sed -n 's/^project(quor VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || fail "no version in CMakeLists.txt"
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)

# ---- control fields
expect Package "$(dpkg-deb -f "$deb" Package)" quor
expect Version "$(dpkg-deb -f "$deb" Version)" "$version-1"
expect Architecture "$(dpkg-deb -f "$deb" Architecture)" "$(dpkg --print-architecture)"
expect Section "$(dpkg-deb -f "$deb" Section)" misc
expect Maintainer "$(dpkg-deb -f "$deb" Maintainer)" "Quor <quor@example.org>"
description=$(dpkg-deb -f "$deb" Description)
grep -q "^route-sheet editor for planning hikes" <<<"$description" || fail "English synopsis"
grep -q "Éditeur de feuilles de route" <<<"$description" || fail "French description"

# Package names only, one per line, without versions or alternatives.
depends=$(dpkg-deb -f "$deb" Depends | tr ',|' '\n\n' | sed 's/(.*//; s/ //g' | sort -u)
for wanted in libqt6core6 libqt6gui6 libqt6widgets6 libqt6printsupport6 libjpeg62-turbo \
              'libproj[0-9]+' 'libgdal[0-9]+' proj-data qt6-translations-l10n; do
  grep -Eqx "$wanted" <<<"$depends" || fail "Depends lacks $wanted"
done
# Build tools and headers never become dependencies.
grep -E -- '-dev$|^cmake$|^gpsbabel$' <<<"$depends" && fail "Depends names a build tool"

# ---- every file, its owner and its mode
listing=$(dpkg-deb -c "$deb")
files=$(awk '$1 !~ /^d/ {print $1, $2, $6}' <<<"$listing" | sort)
expected=$(sort <<EOT
-rwxr-xr-x root/root ./usr/bin/quor
-rw-r--r-- root/root ./usr/lib/$multiarch/quor/libquor_geodesy.so
-rw-r--r-- root/root ./usr/lib/$multiarch/quor/libquor_mapexport.so
-rw-r--r-- root/root ./usr/lib/$multiarch/quor/libquor_terrain.so
-rw-r--r-- root/root ./usr/share/applications/quor.desktop
-rw-r--r-- root/root ./usr/share/doc/quor/changelog.Debian.gz
-rw-r--r-- root/root ./usr/share/doc/quor/copyright
-rw-r--r-- root/root ./usr/share/icons/hicolor/128x128/apps/quor.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/16x16/apps/quor.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/24x24/apps/quor.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/256x256/apps/quor.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/32x32/apps/quor.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/48x48/apps/quor.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/64x64/apps/quor.png
-rw-r--r-- root/root ./usr/share/man/man1/quor.1.gz
-rw-r--r-- root/root ./usr/share/metainfo/org.example.quor.metainfo.xml
-rw-r--r-- root/root ./usr/share/quor/Marche
-rw-r--r-- root/root ./usr/share/quor/Terrain.tif
EOT
)
[ "$files" = "$expected" ] || fail "package contents differ:
$(diff <(echo "$expected") <(echo "$files") || true)"
awk '$1 ~ /^d/ && ($1 != "drwxr-xr-x" || $2 != "root/root") {print}' <<<"$listing" | grep . &&
  fail "a folder is not root's with mode 755"

# ---- the installed tree
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
dpkg-deb -x "$deb" "$tree"

out=$(desktop-file-validate "$tree/usr/share/applications/quor.desktop" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate: $out"
metainfo=$tree/usr/share/metainfo/org.example.quor.metainfo.xml
appstreamcli validate --no-net --pedantic "$metainfo" >/dev/null 2>&1 ||
  fail "appstreamcli validate: $(appstreamcli validate --no-net --pedantic "$metainfo" 2>&1)"
launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
[ -f "$tree/usr/share/applications/$launchable" ] || fail "metainfo launches '$launchable', not in the package"
# The newest release is the first one listed; the package and its history say the same.
release=$(sed -n 's:.*<release version="\([^"]*\)".*:\1:p' "$metainfo" | head -1)
expect "metainfo release" "$release" "$version"
# The screenshot the metadata names is the one kept with the package's sources.
image=$(sed -n 's:.*<image>\(.*\)</image>.*:\1:p' "$metainfo")
[ -f "packaging/captures/${image##*/}" ] || fail "screenshot '${image##*/}' not in packaging/captures"
changelog=$(gzip -dc "$tree/usr/share/doc/quor/changelog.Debian.gz" | head -1)
expect "changelog" "$changelog" "quor ($version-1) unstable; urgency=medium"

# The program links neither PROJ nor GDAL: its modules do, loaded on first use.
# (Outputs are read whole before grep -q, which would cut a pipe short.)
needed() { readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'; }
program=$tree/usr/bin/quor
modules=$tree/usr/lib/$multiarch/quor
links=$(needed "$program")
grep -E '^lib(proj|gdal)' <<<"$links" && fail "the program links PROJ or GDAL"
grep -q '^libQt6Widgets' <<<"$links" || fail "the program does not link Qt 6 Widgets"
grep -q '^libjpeg\.so\.62' <<<"$links" || fail "the program does not link libjpeg-turbo"
links=$(needed "$modules/libquor_geodesy.so")
grep -q '^libproj' <<<"$links" || fail "the geodesy module does not link PROJ"
links=$(needed "$modules/libquor_terrain.so")
grep -q '^libgdal' <<<"$links" || fail "the terrain module does not link GDAL"
links=$(needed "$modules/libquor_mapexport.so")
grep -q '^libgdal' <<<"$links" || fail "the export module does not link GDAL"
for binary in "$program" "$modules"/*.so; do
  readelf -d "$binary" | grep -E 'RPATH|RUNPATH' && fail "$binary keeps a search path"
  sections=$(readelf -S "$binary")
  grep -q '\.debug_info' <<<"$sections" && fail "$binary is not stripped"
  grep -q "$PWD" "$binary" && fail "$binary holds this machine's build folder"
done
# The program finds its modules and the example's model where the package put
# them (paths relative to its own folder, in UTF-16 as Qt keeps its literals).
literals=$(strings -e l "$program")
grep -qx "../lib/$multiarch/quor" <<<"$literals" || fail "the program looks for its modules elsewhere"
grep -qx "../share/quor" <<<"$literals" || fail "the program looks for its data elsewhere"

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) of $deb failed" >&2
  exit 1
fi
echo "$deb: control fields, dependencies, contents, menu entry, metadata and binaries checked"
