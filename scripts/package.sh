#!/usr/bin/env bash
# Builds the Debian package dist/tolvane_<version>_<arch>.deb: a Release build
# of the two programs in build-package/ with Debian's own compiler and linker
# flags (hardening included), then CPack's DEB generator, whose dependencies
# come from dpkg-shlibdeps. Install it with: sudo apt install ./dist/tolvane_*.deb
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
build=$root/build-package
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DTOLVANE_BUILD_TESTS=OFF -DTOLVANE_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"
rm -rf "$build/cpack"
cpack --config "$build/CPackConfig.cmake" -B "$build/cpack" >/dev/null
mkdir -p "$root/dist"
for deb in "$build"/cpack/*.deb; do
  mv -f "$deb" "$root/dist/"
  echo "$root/dist/$(basename "$deb")"
done
