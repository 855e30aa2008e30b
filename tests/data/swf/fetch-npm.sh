#!/bin/sh
# Fetches the real movies of the npm packages the tests read, with their licences, and copies
# them beside this script. CI does not run it: the files are kept in the repository.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
take() {  # package@version, path in the package, name here
    mkdir -p "$1"
    (cd "$1" && npm pack --silent "$1" >/dev/null && tar xzf ./*.tgz)
    cp "$1/package/$2" "$here/$3"
}
take soundmanager2@2.97.20170602 swf/soundmanager2.swf soundmanager2.swf
take soundmanager2@2.97.20170602 swf/soundmanager2_flash9.swf soundmanager2_flash9.swf
take soundmanager2@2.97.20170602 license.txt LICENSE.soundmanager2.txt
take zeroclipboard@2.3.0 dist/ZeroClipboard.swf ZeroClipboard.swf
take zeroclipboard@2.3.0 LICENSE LICENSE.zeroclipboard.txt
take videojs-swf@5.4.2 dist/video-js.swf video-js.swf
take videojs-swf@5.4.2 LICENSE LICENSE.videojs-swf.txt
take jplayer@2.9.2 dist/jplayer/jquery.jplayer.swf jquery.jplayer.swf
take jplayer@2.9.2 README.md README.jplayer.md
take swfobject@2.2.1 expressInstall.swf expressInstall.swf
take swfobject@2.2.1 README.md README.swfobject.md
cd "$here"
sha256sum soundmanager2.swf soundmanager2_flash9.swf ZeroClipboard.swf video-js.swf \
    jquery.jplayer.swf expressInstall.swf
