#!/usr/bin/env bash
# Runs clang-tidy (Debian 12's, version 14) with the checks of .clang-tidy and
# exits non-zero on any finding.
#
#   bash scripts/tidy.sh          the C++ files changed against the base:
#                                 origin/main when that exists, else HEAD~1
#                                 (committed, staged and unstaged changes)
#   bash scripts/tidy.sh REV      the C++ files changed against REV
#   bash scripts/tidy.sh --all    every .cpp file of src/
#
# A changed header is checked through the .cpp file of the same name. Only
# files the build compiles are checked (not the benchmarks nor the fuzz
# targets, which other presets build); generated files (moc, rcc) never.
# The compile commands come from build/tidy (preset "tidy": every file on its
# own, without precompiled header), configured on first use. TIDY_JOBS sets
# how many files are checked at once (default 2); TIDY_LOG names a file
# that keeps clang-tidy's whole output.
set -euo pipefail
cd "$(dirname "$0")/.."

tidy=${CLANG_TIDY:-clang-tidy}
jobs=${TIDY_JOBS:-2}
build=build/tidy

if ! command -v "$tidy" >/dev/null; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: clang-tidy"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends clang-tidy
fi

if [ "${1:-}" = --all ]; then
  mapfile -t candidates < <(git ls-files 'src/*.cpp')
else
  base=${1:-}
  if [ -z "$base" ]; then
    if git rev-parse -q --verify origin/main >/dev/null; then
      base=$(git merge-base HEAD origin/main)
    else
      base=HEAD~1
    fi
  fi
  mapfile -t changed < <(git diff --name-only --diff-filter=d "$base" -- '*.cpp' '*.h')
  candidates=()
  for f in "${changed[@]}"; do
    case "$f" in
      *.h) [ -f "${f%.h}.cpp" ] && candidates+=("${f%.h}.cpp") ;;
      *) candidates+=("$f") ;;
    esac
  done
fi

if [ ! -f "$build/compile_commands.json" ]; then
  cmake --preset tidy >/dev/null
fi
# A test file includes its moc output: moc runs for the suites of the test
# files checked, and nothing else is built.
autogen=()
for f in "${candidates[@]}"; do
  case "$f" in
    tests/common/*) autogen+=(quor_testmain_autogen) ;;
    tests/*/*) suite=${f#tests/}; autogen+=("test_${suite%%/*}_autogen") ;;
  esac
done
mapfile -t autogen < <(printf '%s\n' "${autogen[@]}" | sort -u | grep . || true)
if [ ${#autogen[@]} -gt 0 ]; then
  targets=$(ninja -C "$build" -t targets all)
  for target in "${autogen[@]}"; do
    if grep -q "^$target:" <<<"$targets"; then
      cmake --build "$build" --target "$target" >/dev/null
    fi
  done
fi

files=()
for f in $(printf '%s\n' "${candidates[@]}" | sort -u); do
  if grep -q "\"file\": \"$PWD/$f\"" "$build/compile_commands.json"; then
    files+=("$f")
  else
    echo "not compiled by the build, left out: $f" >&2
  fi
done
if [ ${#files[@]} -eq 0 ]; then
  echo "clang-tidy: no file to check"
  exit 0
fi

echo "clang-tidy: ${#files[@]} file(s), $jobs at a time"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
printf '%s\n' "${files[@]}" |
  xargs -P "$jobs" -n 1 "$tidy" -p "$build" --quiet >"$log" 2>/dev/null || true
[ -z "${TIDY_LOG:-}" ] || cp "$log" "$TIDY_LOG"
# One line per finding; a header's finding comes once, however many files
# include it.
findings=$(grep -E '^[^ ]+:[0-9]+:[0-9]+: (warning|error): .*\[[a-zA-Z0-9.,+-]+\]$' "$log" |
  sed "s|^$PWD/||" | sort -u || true)
if [ -n "$findings" ]; then
  echo "$findings"
  echo "clang-tidy: $(wc -l <<<"$findings") finding(s)" >&2
  exit 1
fi
echo "clang-tidy: no finding"
