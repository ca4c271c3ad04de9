#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the build into a temporary DESTDIR with the default layout (as
# `cmake --install` does on any distribution) and checks what a desktop reads:
# the launcher entry, the AppStream metadata, the icon and the manual page.
#   install_test.sh BUILD_DIR [HOMEPAGE]   (HOMEPAGE: the build's TARVO_HOMEPAGE)
set -euo pipefail
build=$1 homepage=${2:-}
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
DESTDIR=$dest cmake --install "$build" --prefix /usr >/dev/null
for f in usr/bin/tarvo usr/share/applications/io.tarvo.tarvo.desktop usr/share/metainfo/io.tarvo.tarvo.metainfo.xml \
         usr/share/icons/hicolor/32x32/apps/tarvo.png usr/share/man/man6/tarvo.6.gz usr/share/doc/tarvo/copyright; do
    [ -e "$dest/$f" ] || { echo "missing: /$f"; exit 1; }
done
desktop-file-validate "$dest/usr/share/applications/io.tarvo.tarvo.desktop"
source "$(dirname "$0")/appstream.sh"
tarvo_validate_metainfo "$dest/usr/share/metainfo/io.tarvo.tarvo.metainfo.xml" "$homepage"
grep -qx 'Exec=/.*/bin/tarvo' "$dest/usr/share/applications/io.tarvo.tarvo.desktop"
grep -qx 'Icon=tarvo' "$dest/usr/share/applications/io.tarvo.tarvo.desktop"
echo "install: 1 passed, 0 failed"
