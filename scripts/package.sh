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
# Given on every run, not through CXXFLAGS and LDFLAGS, which CMake reads
# only when it creates the build folder.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  -DTOLVANE_BUILD_TESTS=OFF -DTOLVANE_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"
rm -rf "$build/cpack"
cpack --config "$build/CPackConfig.cmake" -B "$build/cpack" >/dev/null
mkdir -p "$root/dist"
for deb in "$build"/cpack/*.deb; do
  mv -f "$deb" "$root/dist/"
  echo "$root/dist/$(basename "$deb")"
done
