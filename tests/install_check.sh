#!/usr/bin/env bash
# Installs Kestrow into a temporary prefix and checks what a desktop expects of it: the
# files in their places, a valid menu entry and software centre description, and a
# command that runs from the installed tree.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" > /dev/null

expected=(
  bin/kestrow
  bin/kestrow-report
  share/applications/org.kestrow.Kestrow.desktop
  share/metainfo/org.kestrow.Kestrow.metainfo.xml
  share/icons/hicolor/scalable/apps/org.kestrow.Kestrow.svg
  share/icons/hicolor/48x48/apps/org.kestrow.Kestrow.png
  share/man/man1/kestrow.1
  share/man/man1/kestrow-report.1
)
for f in "${expected[@]}"; do
  [ -e "$prefix/$f" ] || { echo "missing after install: $f"; exit 1; }
done

if command -v desktop-file-validate > /dev/null; then
  desktop-file-validate "$prefix/share/applications/org.kestrow.Kestrow.desktop"
else
  echo "desktop-file-validate not installed: menu entry not validated"
fi
if command -v appstreamcli > /dev/null; then
  appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/org.kestrow.Kestrow.metainfo.xml" ||
    appstreamcli validate --no-net "$prefix/share/metainfo/org.kestrow.Kestrow.metainfo.xml"
else
  echo "appstreamcli not installed: metainfo not validated"
fi

version=$("$prefix/bin/kestrow-report" --version)
case "$version" in
  *"$2"*) ;;
  *) echo "installed kestrow-report --version printed '$version', expected $2"; exit 1 ;;
esac
echo "install check passed"
