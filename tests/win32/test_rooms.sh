#!/usr/bin/env bash
# test_rooms.sh TEMPLATE WIN_BUILD_DIR: two exam rooms, each a Windows of its own (a fresh copy of
# the prefix and its own wineserver), open one plan from a shared folder, its official start a
# little ahead. Both runs start by themselves at that second, each written in its own journal: the
# files are read as the rooms left them.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/wine-env.sh"
template=$1 win=$2
started=$SECONDS
work=$(mktemp -d /tmp/tavelin-rooms-test.XXXXXX)
rooms=(B12 C04) tavelins=()
cleanup() {
  local r
  for r in "${rooms[@]}"; do WINEPREFIX=$work/$r wineserver -k >/dev/null 2>&1; done
  [ ${#tavelins[@]} -gt 0 ] && wait "${tavelins[@]}"
  stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
check() {  # check DESCRIPTION COMMAND...: one expectation
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

start_xvfb 1024x768x24 || exit 1
for r in "${rooms[@]}"; do
  export WINEPREFIX=$work/$r
  cp -a "$template" "$WINEPREFIX"
  wine_desktop_registry 800x600
  wineserver -p >/dev/null 2>&1
done

# The next whole minute, or the one after when Wine might not be up by then; a time of today.
while :; do
  now=$(date +%s)
  at=$((now - now % 60 + 60))
  [ $((at - now)) -lt 15 ] && at=$((at + 60))
  [ "$(date -d @$at +%F)" = "$(date -d @$now +%F)" ] && break
  sleep $((at - now))
done
mkdir "$work/shared"
plan=$work/shared/Examen.tavelin
cat >"$plan" <<PLAN
# Les deux salles, au même moment
Nom = Bac blanc des deux salles
Début = $(date -d @$at '+%-H h %M')
Départ automatique = oui
Épreuve = Philosophie ; 4h00
Journal = oui
PLAN
echo "official start $(date -d @$at +%T), $((at - now)) s ahead"
for r in "${rooms[@]}"; do
  WINEPREFIX=$work/$r wine "$win/Tavelin.exe" "/plan:Z:${plan//\//\\}" >"$work/$r.log" 2>&1 &
  tavelins+=($!)
done

journal() { echo "$work/$1"/drive_c/users/*/Documents/Tavelin/Journal.csv; }
# "Date;Heure" of each "Début" line of a room's journal.
starts() { awk -F';' '$5 == "Début" { print $1 ";" $2 }' "$(journal "$1")" 2>/dev/null; }
all_started() { local r; for r in "${rooms[@]}"; do [ -n "$(starts "$r")" ] || return 1; done; }
until [ "$(date +%s)" -gt $((at + 10)) ] || all_started; do
  sleep 1
done
sleep 1  # a second start, if any, has its chance to show
want=$(date -d @$at '+%F;%T')
for r in "${rooms[@]}"; do
  j=$(journal "$r")
  [ -f "$j" ] && tr -d '\r' <"$j" | sed "s/^/$r: /" || echo "$r: no journal"
  check "room $r started by itself at $want, once in its own journal" test "$(starts "$r")" = "$want"
  check "room $r's journal names the plan" grep -q ";Plan d'examen;\"Bac blanc des deux salles ; début prévu à " "$j"
done
echo "$failures failure(s), $((SECONDS - started)) s"
[ $failures -eq 0 ]
