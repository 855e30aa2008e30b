#!/bin/sh
# Fetches the Flex players of media9 from Debian's texlive-latex-extra, without installing
# TeX Live, and copies the ones the tests play beside this script.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
apt-get download texlive-latex-extra
dpkg-deb -x texlive-latex-extra_*.deb root
players=root/usr/share/texlive/texmf-dist/tex/latex/media9/players
cp "$players/APlayer.swf" "$here/"
sha256sum "$here/APlayer.swf"
