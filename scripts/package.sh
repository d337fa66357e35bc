#!/usr/bin/env bash
# Builds the Debian package from build/ (after scripts/test.sh's build) and
# checks it the way a user gets it: the files it holds, lintian, and the
# programs run from the unpacked package. docs/packaging.md has the layout.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build
rm -f "$build"/package/kv350tools_*.deb
mkdir -p "$build/package"
(cd "$build" && cpack -G DEB >package/cpack.log 2>&1) || { cat "$build/package/cpack.log"; exit 1; }
debs=("$build"/package/kv350tools_*.deb)
deb="${debs[0]}"
echo "package: $deb"

# Exactly the files it should hold, where a Debian system expects them.
dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\./|/|' | grep -v '/$' | sort >"$build/package/files.txt"
if ! diff -u <(sort "$build/packaging/package-files.txt") "$build/package/files.txt"; then
  echo "the package's files differ from packaging/debian/files.in (- expected, + in the package)"
  exit 1
fi

# No lintian errors; its warnings are shown (there were none when this was written).
if ! findings="$(lintian --fail-on error "$deb" 2>&1)"; then
  echo "$findings"
  echo "lintian found errors in $deb"
  exit 1
fi
grep -v 'running with root privileges' <<<"$findings" || true

# The programs as the package installs them, with the system's libraries.
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
dpkg-deb --extract "$deb" "$scratch"
# expect WHAT COMMAND...: the command succeeds and prints a line matching WHAT.
expect() {
  local what="$1" output
  shift
  if ! output="$("$@" 2>&1)" || ! grep -q -- "$what" <<<"$output"; then
    echo "from the package: $*"
    echo "$output"
    exit 1
  fi
}
expect '^Model: *KV350-M1$' "$scratch/usr/bin/kv350ctl" --simulate KV350-M1 identify
expect '--model' "$scratch/usr/bin/kv350-sim" --help
expect '--simulate' env QT_QPA_PLATFORM=offscreen "$scratch/usr/bin/kv350tools" --help
# The tone player, with no sound server to reach (so it plays nothing): it
# runs, finds its libraries, and says that there is no sound output.
player="$(find "$scratch/usr/lib" -name kv350-tone -type f)"
tone_status=0
tone_output="$(env PULSE_SERVER=unix:/nonexistent "$player" 2730 100 2>&1)" || tone_status=$?
if [ "$tone_status" -ne 3 ] || ! grep -q '^kv350-tone: no sound output to play on: ' <<<"$tone_output"; then
  echo "from the package: $player 2730 100 (no sound server) ended with $tone_status, not 3"
  echo "$tone_output"
  exit 1
fi
echo "package checked: its files, lintian, and kv350ctl, kv350-sim, kv350tools and kv350-tone run from it"
