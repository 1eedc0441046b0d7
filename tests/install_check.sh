#!/usr/bin/env bash
# Installs Kestrow into a temporary prefix and checks what a desktop expects of it: the
# files in their places, a valid menu entry and software centre description, and a
# command that runs from the installed tree.
set -euo pipefail
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" > /dev/null
cd "$prefix"
for f in bin/kestrow bin/kestrow-report share/man/man1/kestrow.1 share/man/man1/kestrow-report.1 \
  share/applications/org.kestrow.Kestrow.desktop share/metainfo/org.kestrow.Kestrow.metainfo.xml \
  share/icons/hicolor/scalable/apps/org.kestrow.Kestrow.svg \
  share/icons/hicolor/48x48/apps/org.kestrow.Kestrow.png; do
  [ -e "$f" ] || { echo "missing after install: $f"; exit 1; }
done
if command -v desktop-file-validate > /dev/null; then
  desktop-file-validate share/applications/org.kestrow.Kestrow.desktop
fi
if command -v appstreamcli > /dev/null; then
  appstreamcli validate --no-net --pedantic share/metainfo/org.kestrow.Kestrow.metainfo.xml ||
    appstreamcli validate --no-net share/metainfo/org.kestrow.Kestrow.metainfo.xml
fi
version=$(bin/kestrow-report --version)
[[ $version == *"$2"* ]] || { echo "installed kestrow-report --version printed '$version'"; exit 1; }
echo "install check passed"
