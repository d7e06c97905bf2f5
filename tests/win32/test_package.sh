#!/usr/bin/env bash
# test_package.sh TEMPLATE WIN_BUILD_DIR [win64]: the two packages of the Tavelin.exe in
# WIN_BUILD_DIR, as a user and an IT department meet them. The zip holds the program and its French
# notice. The MSI installs silently for all users in a fresh Wine prefix (program, Start-menu
# shortcut, one Add/Remove Programs entry), the installed program starts and shows its main window,
# a package of a later release replaces it in place, and a silent uninstall removes everything it
# put there while the user's settings stay.
# With win64, TEMPLATE is a 64-bit prefix and only the part under Wine runs, as on the 64-bit
# Windows of a school: the system's own msiexec and reg are 64-bit programs, and the 32-bit package
# goes to "Program Files (x86)" with its entry in the 32-bit view of the registry.
set -u
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
. "$top/scripts/wine-env.sh"
template=$1 win=$2 arch=${3:-win32}
[ "$arch" = win64 ] && export WINEARCH=win64
started=$SECONDS
work=$(mktemp -d /tmp/tavelin-package-test.XXXXXX)
export WINEPREFIX=$work/prefix
cleanup() {
  [ -d "$WINEPREFIX" ] && wineserver -k >/dev/null 2>&1
  stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
check() {  # check DESCRIPTION COMMAND...: one expectation
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else fail "$what"; fi
}
# link_has SHORTCUT TEXT: TEXT (not empty) is among the shortcut's paths, narrow or wide.
link_has() { [ -n "$2" ] && { strings -a "$1"; strings -a -el "$1"; } | grep -qiF -- "$2"; }
finish() {
  echo "$failures failure(s), $((SECONDS - started)) s"
  [ $failures -eq 0 ]
  exit
}

version=$(cat "$win/VERSION")
IFS=. read -r major minor release build <<<"$version"
next=$major.$minor.$((release + 1)).$build

# --- Building --------------------------------------------------------------------------------
"$top/packaging/make-packages.sh" "$win" "$work/dist" >"$work/make.log" 2>&1 ||
  { cat "$work/make.log"; fail "packages of $version"; finish; }
"$top/packaging/make-packages.sh" "$win" "$work/next" $((release + 1)) >"$work/make.log" 2>&1 ||
  { cat "$work/make.log"; fail "packages of $next"; finish; }
msi=$work/dist/Tavelin-$version.msi zip=$work/dist/Tavelin-$version.zip
newer=$work/next/Tavelin-$next.msi
check "both packages named after the build's version $version" test -f "$msi" -a -f "$zip"
echo "sizes: $(stat -c %s "$msi") bytes (msi), $(stat -c %s "$zip") bytes (zip)"

if [ "$arch" = win32 ]; then
# --- One version everywhere ------------------------------------------------------------------
# The version block of the program itself, read back from the executable.
i686-w64-mingw32-windres -i "$win/Tavelin.exe" -O rc >"$work/exe.rc" 2>/dev/null
commas=${version//./, }
check "FILEVERSION $commas" grep -q "FILEVERSION $commas\$" "$work/exe.rc"
check "PRODUCTVERSION $commas" grep -q "PRODUCTVERSION $commas\$" "$work/exe.rc"
check "FileVersion \"$version\"" grep -q "VALUE \"FileVersion\", \"$version" "$work/exe.rc"
check "ProductVersion \"$version\"" grep -q "VALUE \"ProductVersion\", \"$version" "$work/exe.rc"
property() { msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' -v p="$2" '$1 == p { print $2 }'; }
check "MSI ProductVersion $version" test "$(property "$msi" ProductVersion)" = "$version"
check "the later package is $next" test "$(property "$newer" ProductVersion)" = "$next"
check "same upgrade code, new product code" test \
  "$(property "$msi" UpgradeCode)" = "$(property "$newer" UpgradeCode)" -a \
  "$(property "$msi" ProductCode)" != "$(property "$newer" ProductCode)"
check "French package: language 1036" test "$(property "$msi" ProductLanguage)" = 1036
check "French package: summary Intel;1036" grep -q "^Template: Intel;1036" \
  <(msiinfo suminfo "$msi")
check "French package: code page 1252" grep -q $'^1252\t_ForceCodepage' \
  <(msiinfo export "$msi" _ForceCodepage | tr -d '\r')
check "per-machine package" test "$(property "$msi" ALLUSERS)" = 1
check "no custom actions" test -z "$(msiinfo export "$msi" CustomAction | tail -n +4)"

# --- The zip ---------------------------------------------------------------------------------
mkdir -p "$work/unzip"
unzip -q "$zip" -d "$work/unzip"
check "the zip holds Tavelin.exe and LISEZMOI.txt, nothing else" test \
  "$(unzip -Z1 "$zip" | sort | tr '\n' ' ')" = "LISEZMOI.txt Tavelin.exe "
check "the zip's Tavelin.exe is the build's" cmp -s "$work/unzip/Tavelin.exe" "$win/Tavelin.exe"
readme=$work/unzip/LISEZMOI.txt
check "LISEZMOI.txt: every line ends in CRLF" test \
  "$(grep -c $'\r$' "$readme")" = "$(wc -l <"$readme")" -a "$(wc -l <"$readme")" -gt 40
cp1252() { LC_ALL=C grep -q $'\xe9' "$1" && ! iconv -f UTF-8 -t UTF-8 "$1" >/dev/null 2>&1; }
check "LISEZMOI.txt: Windows-1252, not UTF-8" cp1252 "$readme"
utf8=$(iconv -f CP1252 -t UTF-8 "$readme" | tr -d '\r')
for text in "Tavelin $version" "chronomètre géant" "Tavelin-$version.msi" "Options" \
            'HKEY_CURRENT_USER\Software\Fenwright\Tavelin\1' "info.add" "Désinstaller" \
            "msiexec /x"; do
  check "LISEZMOI.txt tells \"$text\"" grep -qiF "$text" <<<"$utf8"
done

fi

# --- Under Wine: install, start, upgrade, uninstall ------------------------------------------
cp -a "$template" "$WINEPREFIX"
wine_desktop_registry 1024x768
start_xvfb 1024x768x24 || { fail "virtual screen"; finish; }
wineserver -p >/dev/null 2>&1
cp "$msi" "$newer" "$WINEPREFIX/drive_c/"
c=$WINEPREFIX/drive_c
installed="$c/Program Files/Tavelin" program='C:\Program Files\Tavelin\Tavelin.exe'
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
system=(wine) view=()
if [ "$arch" = win64 ]; then
  installed="$c/Program Files (x86)/Tavelin" program='C:\Program Files (x86)\Tavelin\Tavelin.exe'
  system=(wine64) view=(/reg:32)
fi
settings='HKCU\Software\Fenwright\Tavelin\1'

msiexec_qn() {  # msiexec_qn /i|/x FILE LOG: silent, with a verbose log
  local t=$SECONDS rc
  "${system[@]}" msiexec "$1" "C:\\$(basename "$2")" /qn /l*v "C:\\$3" >"$work/wine.log" 2>&1
  rc=$?
  echo "msiexec $1 $(basename "$2"): exit code $rc, $((SECONDS - t)) s"
  [ $rc -eq 0 ] || grep -a -i "error\|return value 3" "$c/$3" | tail -n 20
  return $rc
}
refused() { ! msiexec_qn "$@"; }
# One line per Add/Remove Programs entry called Tavelin: "DisplayName|Publisher|DisplayVersion",
# in the registry view of a 32-bit program, or in the one given (/reg:64).
arp_entries() {
  local v=("$@")
  [ $# -gt 0 ] || v=("${view[@]}")
  "${system[@]}" reg query "$uninstall" /s "${v[@]}" 2>/dev/null | tr -d '\r' | awk '
    function value(  s) { s = $0; sub(/^ *[^ ]+ +REG_[A-Z_]+ */, "", s); return s }
    function flush() { if (name == "Tavelin") print name "|" pub "|" ver }
    /^HKEY/ { flush(); name = pub = ver = "" }
    $1 == "DisplayName" { name = value() }
    $1 == "Publisher" { pub = value() }
    $1 == "DisplayVersion" { ver = value() }
    END { flush() }'
}
# The Unix path of a folder property as Windows Installer resolved it during an install.
folder_of() { winepath -u "$(tr -d '\r' <"$c/$1" | sed -n "s/^Property(S): $2 = //p" | head -n 1)" 2>/dev/null; }

check "silent install of $version" msiexec_qn /i "$msi" install.log
check "Tavelin.exe in ${program%\\*}" cmp -s "$installed/Tavelin.exe" "$win/Tavelin.exe"
[ "$arch" = win64 ] && check "nothing in the 64-bit C:\\Program Files" test ! -e "$c/Program Files/Tavelin"
# Windows puts the Programs menu of a per-machine install in the all-users Start menu; Wine
# resolves the same folder to the user's one. Either way the shortcut is where the package says.
shortcut="$(folder_of install.log ProgramMenuFolder)Tavelin.lnk"
check "Start-menu shortcut \"Tavelin\" ($shortcut)" test -f "$shortcut"
check "the shortcut starts the installed program" \
  link_has "$shortcut" "$program"
product_icon=$("${system[@]}" reg query 'HKLM\Software\Classes\Installer\Products' /s 2>/dev/null |
               tr -d '\r' | sed -n 's/^ *ProductIcon *REG_SZ *//p' | grep -F 'Tavelin.ico')
echo "product icon: ${product_icon:-none}"
check "the shortcut carries the program's icon" link_has "$shortcut" "$product_icon"
check "the entry's icon is the program's" cmp -s "$(winepath -u "$product_icon" 2>/dev/null)" \
  "$top/resources/Tavelin.ico"
entries=$(arp_entries)
echo "Add/Remove Programs: ${entries:-none}"
check "one Add/Remove Programs entry: Tavelin, Fenwright, $version" \
  test "$entries" = "Tavelin|Fenwright|$version"
[ "$arch" = win64 ] && check "no entry in the 64-bit view of the registry" test -z "$(arp_entries /reg:64)"

# A plan's file opens with the installed program, under its icon.
classes='HKLM\Software\Classes'
class_value() {  # class_value KEY: the default value of a key of the machine's classes
  "${system[@]}" reg query "$classes\\$1" /ve "${view[@]}" 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *(Default) *REG_SZ *//p'
}
plan_command=$(class_value 'Tavelin.Plan\shell\open\command')
echo "plan files open with: ${plan_command:-nothing}"
check "a .tavelin file is a Tavelin plan" test "$(class_value .tavelin)" = Tavelin.Plan
check "its \"Ouvrir\" hands the file alone to the installed program" \
  test "$plan_command" = "\"$program\" \"%1\""
check "its icon is the program's" test "$(class_value 'Tavelin.Plan\DefaultIcon')" = "\"$program\",0"

# The installed copy, started as a user starts it: its main window shows, it saves on close.
TAVELIN_PROGRAM=$program \
  wine "$win/test_program.exe" --gtest_filter=Program.StartsShowsItsMainWindowAndSavesOnClose \
  >"$work/program.log" 2>&1
rc=$?
grep -E '^\[  (PASSED|FAILED) |Failure|Expected|Start-up' "$work/program.log"
check "the installed program starts and shows its main window" test $rc -eq 0
# A plan's file opened as a double-click opens it, by the file type the package registered.
wine "$win/test_program.exe" --gtest_filter=Program.APlanFileOpensInTavelinFromTheShell \
  >"$work/plan.log" 2>&1
grep -E '^\[  (PASSED|FAILED|SKIPPED) |Failure|Expected' "$work/plan.log"
check "a plan's file opens in the installed program, named in its caption" \
  grep -q '^\[  PASSED  \] 1 test' "$work/plan.log"

# A teacher's own settings, which no package may touch.
wine reg add "$settings" /v TotalTime /t REG_DWORD /d 5400 /f >/dev/null 2>&1

check "silent upgrade to $next" msiexec_qn /i "$newer" upgrade.log
entries=$(arp_entries)
echo "Add/Remove Programs: ${entries:-none}"
check "after the upgrade, one entry only, at $next" test "$entries" = "Tavelin|Fenwright|$next"
check "the program is still installed" test -f "$installed/Tavelin.exe" -a -f "$shortcut"
check "the older package is refused now" refused /i "$msi" downgrade.log
check "still one entry, at $next" test "$(arp_entries)" = "Tavelin|Fenwright|$next"

check "silent uninstall" msiexec_qn /x "$newer" uninstall.log
check "the program's folder is gone" test ! -e "$installed"
check "the shortcut is gone" test ! -e "$shortcut"
check "the Add/Remove Programs entry is gone" test -z "$(arp_entries)"
check "the plan's file type is gone" test -z "$(class_value .tavelin)"
check "no machine-wide key of Tavelin is left" sh -c \
  "! wine reg query 'HKLM\\Software\\Fenwright\\Tavelin' >/dev/null 2>&1"
[ "$arch" = win64 ] && check "nor in the 64-bit view" sh -c \
  "! wine reg query 'HKLM\\Software\\Fenwright\\Tavelin' /reg:64 >/dev/null 2>&1"
wine reg query "$settings" /v TotalTime >"$work/settings.txt" 2>/dev/null
check "the user's settings stay" grep -q "TotalTime.*REG_DWORD.*0x1518" "$work/settings.txt"
finish
