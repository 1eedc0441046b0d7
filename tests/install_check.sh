#!/usr/bin/env bash
# What a desktop expects of an installed Kestrow: the files in their places, a valid menu
# entry and software centre description, and a command that runs from the installed tree.
set -euo pipefail
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" > /dev/null
cd "$prefix/share"
ls ../bin/kestrow ../bin/kestrow-report man/man1/kestrow.1 man/man1/kestrow-report.1 \
  applications/org.kestrow.Kestrow.desktop metainfo/org.kestrow.Kestrow.metainfo.xml \
  icons/hicolor/scalable/apps/org.kestrow.Kestrow.svg icons/hicolor/48x48/apps/org.kestrow.Kestrow.png > /dev/null
! command -v desktop-file-validate > /dev/null || desktop-file-validate applications/org.kestrow.Kestrow.desktop
! command -v appstreamcli > /dev/null || appstreamcli validate --no-net metainfo/org.kestrow.Kestrow.metainfo.xml
[[ $(../bin/kestrow-report --version) == *"$2"* ]] || { echo "installed kestrow-report has the wrong version"; exit 1; }
