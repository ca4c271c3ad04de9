#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks what a desktop reads:
# the launcher entry, the AppStream metadata and the 32 x 32 icon.
set -euo pipefail
build=$1
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
DESTDIR=$dest cmake --install "$build" --prefix /usr >/dev/null
for f in usr/bin/tarvo usr/share/applications/tarvo.desktop usr/share/metainfo/io.tarvo.Tarvo.metainfo.xml \
         usr/share/icons/hicolor/32x32/apps/tarvo.png; do
    [ -e "$dest/$f" ] || { echo "missing: /$f"; exit 1; }
done
desktop-file-validate "$dest/usr/share/applications/tarvo.desktop"
appstreamcli validate --no-net --explain "$dest/usr/share/metainfo/io.tarvo.Tarvo.metainfo.xml"
size=$(identify -format '%wx%h' "$dest/usr/share/icons/hicolor/32x32/apps/tarvo.png")
[ "$size" = 32x32 ] || { echo "icon is $size"; exit 1; }
grep -qx 'Icon=tarvo' "$dest/usr/share/applications/tarvo.desktop"
echo "install: 1 passed, 0 failed"
