#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what lands there:
# exactly the expected files (no test program, benchmark or generator), a
# desktop entry and metainfo that validate and agree with the installed
# program and icon, icons of their stated sizes, and manual pages that format
# without warnings.
# Usage: check_install.sh BUILD_DIR EXPECTED_FILES (CMAKE: the cmake to run)
set -euo pipefail
build=$1
expected=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

prefix=$tmp/usr
"${CMAKE:-cmake}" --install "$build" --prefix "$prefix" >"$tmp/install.log" || {
  cat "$tmp/install.log"
  fail "cmake --install failed"
}

(cd "$prefix" && find . \( -type f -o -type l \) -printf '%P\n' | LC_ALL=C sort) >"$tmp/installed"
LC_ALL=C sort "$expected" >"$tmp/expected"
diff -u "$tmp/expected" "$tmp/installed" || fail "installed files differ from the list (- expected, + installed)"

for p in dorv-updater dorv-script dorv-logger-sim; do
  [ -x "$prefix/bin/$p" ] || fail "$p is not executable"
done

desktop=$prefix/share/applications/jp.dorv.Updater.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate: $desktop"
grep -qx 'Exec=dorv-updater' "$desktop" || fail "Exec is not dorv-updater"
grep -q '^Name\[ja\]=' "$desktop" || fail "no Japanese name"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon named $icon"

metainfo=$prefix/share/metainfo/jp.dorv.Updater.metainfo.xml
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate: $metainfo"
# The metainfo together with the desktop entry and icon it refers to.
appstreamcli validate-tree --no-net "$tmp" || fail "appstreamcli validate-tree"
grep -q '<launchable type="desktop-id">jp.dorv.Updater.desktop</launchable>' "$metainfo" ||
  fail "the metainfo does not launch the installed desktop entry"

# A PNG's width and height are the big-endian words at bytes 16 and 20.
for dir in "$prefix"/share/icons/hicolor/*x*/apps; do
  size=$(basename "$(dirname "$dir")")
  png=$dir/$icon.png
  [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] || fail "$png is no PNG"
  read -r w1 w2 w3 w4 h1 h2 h3 h4 < <(od -An -tu1 -j16 -N8 "$png")
  [ "$(((w1 << 24) + (w2 << 16) + (w3 << 8) + w4))x$(((h1 << 24) + (h2 << 16) + (h3 << 8) + h4))" = "$size" ] ||
    fail "$png is not $size"
done

for page in "$prefix"/share/man/man1/*.1.gz; do
  warnings=$(gzip -dc "$page" | groff -man -Tutf8 -ww -z 2>&1)
  [ -z "$warnings" ] || fail "$page: $warnings"
done

rules=$prefix/lib/udev/rules.d/70-dorv-logger.rules
for key in 'ATTRS{idVendor}=="0403"' 'ATTRS{idProduct}=="6001"' 'ATTRS{serial}=="DORV\*"' \
  'TAG+="uaccess"' 'GROUP="dialout"' 'MODE="0660"' 'SYMLINK+="dorv-$attr{serial}"' \
  'ATTR{latency_timer}="1"'; do
  grep -q "$key" "$rules" || fail "the udev rule lacks $key"
done
echo "installed files, desktop entry, metainfo, icons and manual pages are sound"
