#!/bin/sh
# Builds the Debian package of a build folder with cpack, unpacks it into a temporary root
# (as dpkg would install it, without touching the system) and checks what it holds: the
# installed pellimor-cli runs, the files the window needs are there, and Depends names the
# package of every library the programs load.
# Usage: DebPackageTest.sh BUILD_DIR WITH_WEBENGINE(0|1)
set -eu
build=$1
webengine=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

(cd "$build" && cpack -G DEB -B "$work/out" --config CPackConfig.cmake) >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack did not build the package"; }
set -- "$work"/out/pellimor_*.deb
[ $# -eq 1 ] && [ -f "$1" ] || fail "not one pellimor_*.deb: $*"
deb=$1
echo "built $(basename "$deb")"

root=$work/root
dpkg-deb -x "$deb" "$root"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"

# The installed program, from the unpacked root.
version=$("$root/usr/bin/pellimor-cli" --version) || fail "installed pellimor-cli --version failed"
case $version in
"pellimor-cli "[0-9]*) ;;
*) fail "unexpected version text: $version" ;;
esac
"$root/usr/bin/pellimor-cli" demo "$work/demo" >/dev/null || fail "installed demo failed"
"$root/usr/bin/pellimor-cli" list --cache "$work/demo/INetCache" | grep -q '^rocket ' ||
    fail "installed pellimor-cli does not list the demo cache"

for file in usr/bin/pellimor usr/bin/pellimor-cli usr/share/applications/pellimor.desktop \
    usr/share/icons/hicolor/scalable/apps/pellimor.svg; do
    [ -f "$root/$file" ] || fail "the package lacks /$file"
done
if [ "$webengine" = 1 ]; then
    # The window looks for Ruffle beside its program: bin/../share/pellimor/ruffle.
    [ -f "$root/usr/share/pellimor/ruffle/ruffle.js" ] || fail "the package lacks Ruffle"
    ls "$root"/usr/share/pellimor/ruffle/*.wasm >/dev/null 2>&1 || fail "the package lacks Ruffle's wasm"
fi

# The copyright file, read as Debian's tools read the machine-readable format: the project's
# own files are Apache-2.0, Ruffle's MIT or Apache-2.0, and every licence named has its text.
copyright=$root/usr/share/doc/pellimor/copyright
[ -f "$copyright" ] || fail "the package lacks /usr/share/doc/pellimor/copyright"
/usr/bin/python3 - "$copyright" "$webengine" <<'PY' || fail "the copyright file does not say the licences"
import sys
from debian.copyright import Copyright

with open(sys.argv[1], encoding="utf-8") as f:
    c = Copyright(f, strict=True)
want = {"src/app/main.cpp": "Apache-2.0", "resources/pellimor.svg": "Apache-2.0"}
if sys.argv[2] == "1":
    want["node_modules/@ruffle-rs/ruffle/ruffle.js"] = "MIT or Apache-2.0"
for path, licence in want.items():
    found = c.find_files_paragraph(path)
    if found is None or found.license.synopsis != licence:
        sys.exit(f"{path}: {found.license.synopsis if found else 'no paragraph'}, not {licence}")
texts = {p.license.synopsis: p.license.text for p in c.all_license_paragraphs()}
for paragraph in c.all_files_paragraphs():
    for name in paragraph.license.synopsis.split(" or "):
        if not paragraph.license.text and not texts.get(name):
            sys.exit(f"no text of the licence {name}")
print("copyright:", ", ".join(sorted({p.license.synopsis for p in c.all_files_paragraphs()})))
PY

# Whether Depends names a package, alone or as an alternative, with or without a version.
named() {
    name=$(printf '%s' "$1" | sed 's/[.+]/\\&/g')  # libstdc++6: + and . are plain here
    echo ", $depends," | tr '|' ',' | grep -Eq ", *$name( \([^)]*\))? *,"
}

# Every library the installed programs load directly comes from a package named in Depends.
for program in "$root"/usr/bin/*; do
    for soname in $(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
        # The file the loader picks, and the package that installed it (recorded with or
        # without /usr on merged-/usr systems).
        path=$(ldd "$program" | awk -v s="$soname" '$1 == s && $2 == "=>" { print $3 }')
        [ -n "$path" ] || fail "$(basename "$program"): $soname is not found"
        package=$({ dpkg -S "$path" || dpkg -S "${path#/usr}" || dpkg -S "$(realpath "$path")"; } \
            2>/dev/null | head -n 1 | sed 's/[:,].*//')
        [ -n "$package" ] || fail "no installed package holds $path"
        named "$package" || fail "$(basename "$program") loads $soname of $package, not in Depends"
    done
done
if [ "$webengine" = 1 ]; then
    # Loaded at run time, not linked: the web engine's helper program and the display plugins.
    for package in libqt6webenginecore6-bin qt6-qpa-plugins; do
        named "$package" || fail "Depends lacks $package"
    done
fi
echo "package ok"
