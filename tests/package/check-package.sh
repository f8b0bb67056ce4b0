#!/usr/bin/env bash
# check-package.sh BUILD ID VERSION: installs the build into a scratch prefix,
# validates the desktop entry and the AppStream entry there, builds the Debian
# package, runs lintian on it and checks the files it holds.
set -euo pipefail
build=$1 id=$2 version=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cmake --install "$build" --prefix "$scratch/usr" >/dev/null
desktop-file-validate "$scratch/usr/share/applications/$id.desktop"
appstreamcli validate --no-net "$scratch/usr/share/metainfo/$id.metainfo.xml"
# The software centre's newest release is the version being packaged.
grep -q "<release version=\"$version\"" "$scratch/usr/share/metainfo/$id.metainfo.xml" \
	|| { echo "the AppStream entry has no release $version"; exit 1; }

# The PPDs of the CUPS driver pass CUPS's own checks.
for ppd in "$scratch"/usr/share/ppd/quillon/*.ppd; do
	cupstestppd -q -R "$scratch" "$ppd" || { echo "cupstestppd refuses $ppd"; cupstestppd -R "$scratch" "$ppd"; exit 1; }
done

# lintian's errors include an unstripped binary, a manual page man cannot
# read and a missing copyright file.
cpack --config "$build/CPackConfig.cmake" -B "$scratch/deb" >/dev/null
deb=$(ls "$scratch"/deb/quillon_"$version"_*.deb)
lintian --fail-on error "$deb"
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes"

dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|' >"$scratch/files"
missing=0
for file in /usr/bin/quillon /usr/lib/quillon/quillon-desktop.so /usr/lib/quillon/quillon-cups.so \
	/usr/lib/quillon/quillon-avahi.so \
	/usr/lib/quillon/quillon-render \
	"/usr/share/applications/$id.desktop" \
	"/usr/share/metainfo/$id.metainfo.xml" \
	/usr/share/man/man1/quillon.1.gz \
	/usr/share/doc/quillon/copyright \
	/usr/share/doc/quillon/changelog.gz \
	"/usr/share/icons/hicolor/scalable/apps/$id.svg" \
	$(for size in 16 32 48 64 128 256; do echo "/usr/share/icons/hicolor/${size}x$size/apps/$id.png"; done) \
	/usr/lib/cups/filter/texttoquillon /usr/share/cups/drv/quillon.drv \
	$(for ppd in raw asc gen dj styl dm pro; do echo "/usr/share/ppd/quillon/quil$ppd.ppd"; done); do
	grep -qx -- "$file" "$scratch/files" || { echo "not in the package: $file"; missing=1; }
done
# CUPS runs a filter only when root owns it and nobody else may write it.
filter=$(dpkg-deb -c "$deb" | awk '$6 == "./usr/lib/cups/filter/texttoquillon" { print $1, $2 }')
[ "$filter" = "-rwxr-xr-x root/root" ] || { echo "the filter is \"$filter\""; missing=1; }
exit $missing
