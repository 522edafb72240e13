#!/usr/bin/env bash
# Builds the Debian package from the build with CPack into a temporary
# directory and checks it: exactly the expected files below /usr, the
# package's name, its version (the one the metainfo names), shared-library
# dependencies found by dpkg-shlibdeps, and the maintainer script that makes
# udev read the logger's rule.
# Usage: check_package.sh BUILD_DIR EXPECTED_FILES (CPACK: the cpack to run)
set -euo pipefail
build=$1
expected=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

(cd "$build" && "${CPACK:-cpack}" -G DEB -B "$tmp" >"$tmp/cpack.log" 2>&1) || {
  cat "$tmp/cpack.log"
  fail "cpack failed"
}
debs=("$tmp"/*.deb)
[ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] || fail "not one package: ${debs[*]}"
deb=${debs[0]}

dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./usr/||' | LC_ALL=C sort >"$tmp/files"
LC_ALL=C sort "$expected" >"$tmp/expected"
diff -u "$tmp/expected" "$tmp/files" || fail "package files differ from the list (- expected, + packaged)"

[ "$(dpkg-deb -f "$deb" Package)" = dorv-updater ] || fail "package name"
version=$(dpkg-deb -f "$deb" Version)
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "version '$version'"
[ "$(basename "$deb")" = "dorv-updater_${version}_$(dpkg --print-architecture).deb" ] ||
  fail "file name $(basename "$deb")"
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/metainfo/jp.dorv.Updater.metainfo.xml |
  grep -q "<release version=\"$version\"" || fail "the metainfo does not name version $version"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libqt6widgets6 libserialport0; do
  [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done
dpkg-deb -e "$deb" "$tmp/control"
[ -x "$tmp/control/postinst" ] && grep -q 'udevadm control --reload-rules' "$tmp/control/postinst" ||
  fail "no postinst that reloads the udev rules"
echo "$(basename "$deb"): files, name, version and dependencies are sound"
