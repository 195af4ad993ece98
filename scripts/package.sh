#!/usr/bin/env bash
# Builds the Debian package volaro_<version>_amd64.deb and checks it with lintian.
#
#   scripts/package.sh [OUTPUT_FOLDER]     (default: the repository's top folder)
#
# The player is built in build-package/ as Debian builds packages (installed to /usr, with
# the compiler and linker hardening of dpkg-buildflags), then cpack makes the package; its
# dependencies are computed from the libraries the binary links. Install it with
# `sudo apt install ./volaro_<version>_amd64.deb`.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
out="$(realpath -m "${1:-$here}")"
build="$here/build-package"

"$here/scripts/install-deps.sh" --package

export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
flags() { dpkg-buildflags --get "$1"; }
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_INSTALL_PREFIX=/usr -DVOLARO_BUILD_TESTS=OFF -DVOLARO_BUILD_BENCH=OFF \
    -DCMAKE_C_FLAGS="$(flags CPPFLAGS) $(flags CFLAGS)" \
    -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)"
cmake --build "$build" -j "$(nproc)"

mkdir -p "$out"
(cd "$build" && cpack -G DEB -B "$out")
rm -rf "$out/_CPack_Packages"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
deb="$out/volaro_${version}_amd64.deb"
lintian --fail-on error,warning "$deb"
echo "Built $deb"
