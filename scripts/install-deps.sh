#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that are missing.
set -euo pipefail

packages=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libmsiecf-utils
    zlib1g-dev libbrotli-dev liblzma-dev libesedb-dev libbfio-dev libesedb-utils
          qt6-base-dev qt6-webengine-dev libqt6webenginecore6-bin libqt6webengine6-data
          xvfb xauth lld locales fonts-dejavu-core wine64 python3-debian)
# libesedb reads IE 10/11's WebCache database (its header needs libbfio's); esedbexport is
# what the tests check that reading against.
# wine64 runs the prebuilt probe of the Wine interop test against caches we write;
# python3-debian reads the package's copyright file as Debian's tools do.
# The player (Ruffle) comes from npm.
if ! command -v npm >/dev/null; then
    packages+=(nodejs npm)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# The tests check that texts stay English under a Turkish locale.
if ! locale -a 2>/dev/null | grep -qi '^tr_TR.utf8$'; then
    "${sudo[@]}" localedef -i tr_TR -f UTF-8 tr_TR.UTF-8
fi
# Ruffle, at the version package-lock.json pins; its WebAssembly is not kept in git.
cd "$(dirname "$0")/.."
if [ ! -f node_modules/@ruffle-rs/ruffle/ruffle.js ] ||
   [ package-lock.json -nt node_modules/.package-lock.json ]; then
    npm ci --no-audit --no-fund --loglevel=error
fi
