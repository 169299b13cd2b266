#!/usr/bin/env bash
# Sets up what is missing on a Debian 12 machine, builds, then starts the
# program ("run"), runs the whole test suite ("test") or makes the Debian
# package ("package", in build/package/). Quick when nothing changed:
# installed packages and an up-to-date build are left alone.
set -euo pipefail

cd "$(dirname "$0")/.."

packages=(cmake ninja-build g++ qt6-base-dev qt6-translations-l10n libjpeg62-turbo-dev
  fonts-liberation desktop-file-utils libproj-dev proj-data proj-bin gpsbabel
  libgdal-dev gdal-bin sqlite3 unzip)
# The package's dependencies are read off its binaries by dpkg-shlibdeps
# (dpkg-dev, with file); appstreamcli checks its AppStream metadata.
if [ "${1:-run}" = package ]; then
  packages+=(dpkg-dev file appstream)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

preset=release
[ "${1:-run}" = package ] && preset=package
if [ ! -f "build/$preset/CMakeCache.txt" ]; then
  cmake --preset "$preset"
fi
cmake --build --preset "$preset"

# The build draws the example project in build/<preset>/example. A program
# folder without any project yet gets a copy of it, remembered as the project
# to open; once a project exists, nothing is copied again.
place_example() {
  local dir="build/$preset"
  local projects=("$dir"/*/Quord.qud)
  if [ -e "${projects[0]}" ] || [ ! -f "$dir/example/Exemple/Quord.qud" ]; then
    return
  fi
  echo "Placing the example project in $dir/Exemple"
  cp -R "$dir/example/Exemple" "$dir/"
  # With no project in the folder, the settings can only name a project that
  # is gone, which the program would forget anyway.
  cp "$dir/example/Quori.qud" "$dir/Quori.qud"
}

case "${1:-run}" in
  run)
    place_example
    exec "build/$preset/quor"
    ;;
  test)
    ctest --preset "$preset"
    ;;
  package)
    rm -f "build/$preset"/quor_*.deb
    cpack --preset "$preset"
    ;;
  *)
    echo "usage: $0 run|test|package" >&2
    exit 2
    ;;
esac
