#!/usr/bin/env bash
# Builds interop_probe.exe from interop_probe.cpp with Debian's MinGW-w64 cross compiler
# (package g++-mingw-w64-x86-64). The .exe is kept in git so that running the Wine test
# needs only wine64.
set -euo pipefail
cd "$(dirname "$0")"
x86_64-w64-mingw32-g++ -O1 -Wall -Wextra -static -s -o interop_probe.exe interop_probe.cpp -lwininet
sha256sum interop_probe.exe
