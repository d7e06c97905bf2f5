#!/usr/bin/env bash
# make-packages.sh WIN_BUILD_DIR OUT_DIR [RELEASE]: from the Tavelin.exe of a Windows build, makes
# OUT_DIR/Tavelin-<version>.msi and OUT_DIR/Tavelin-<version>.zip, the version (1.0.c.d) being the
# build's own (WIN_BUILD_DIR/VERSION). RELEASE, when given, stands for c: the same program then
# goes out as another release, which is how the upgrade test gets a newer package.
# Needs wixl and msibuild (Debian packages wixl and msitools) and zip. Prints the two paths.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
[ $# -ge 2 ] || { echo "usage: $0 WIN_BUILD_DIR OUT_DIR [RELEASE]" >&2; exit 2; }
win=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)

version=$(cat "$win/VERSION")
if ! [[ $version =~ ^([0-9]+)\.([0-9]+)\.([0-9]+)\.([0-9]+)$ ]]; then
  echo "$win/VERSION: '$version' is not a version of four numbers" >&2
  exit 1
fi
if [ -n "${3:-}" ]; then
  version=${BASH_REMATCH[1]}.${BASH_REMATCH[2]}.$3.${BASH_REMATCH[4]}
fi

stage=$(mktemp -d /tmp/tavelin-package.XXXXXX)
trap 'rm -rf "$stage"' EXIT
cp "$win/Tavelin.exe" "$here/../resources/Tavelin.ico" "$stage/"

# wixl finds the files in the folder where it runs (it takes no absolute source paths).
if ! (cd "$stage" && wixl -D Version="$version" -o Tavelin.msi "$here/Tavelin.wxs") \
       >"$stage/wixl.log" 2>&1; then
  cat "$stage/wixl.log" >&2
  exit 1
fi
# wixl leaves the database's code page neutral (its strings would be read in whatever code page
# the installing machine uses) and declares the package English: French, Windows-1252 it is.
printf '\r\n\r\n1252\t_ForceCodepage\r\n' >"$stage/_ForceCodepage.idt"
(cd "$stage" && msibuild Tavelin.msi -i _ForceCodepage.idt &&
   msibuild Tavelin.msi -s "Tavelin $version" Fenwright "Intel;1036")
mv "$stage/Tavelin.msi" "$out/Tavelin-$version.msi"

# The portable way: the program and its notice, nothing to install.
sed "s/@VERSION@/$version/g" "$here/LISEZMOI.txt" >"$stage/LISEZMOI.txt"
rm -f "$out/Tavelin-$version.zip"
(cd "$stage" && zip -q -X "$out/Tavelin-$version.zip" Tavelin.exe LISEZMOI.txt)

echo "$out/Tavelin-$version.msi"
echo "$out/Tavelin-$version.zip"
