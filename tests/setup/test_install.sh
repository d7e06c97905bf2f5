#!/usr/bin/env bash
# The install step against a stand-in apt-get (and dpkg, dpkg-query, id, sleep) on the PATH: a
# mirror half-way through a synchronisation must not stop a newcomer. Each row: how many updates
# fail, how many installs fail (an install with -t succeeds unless every one fails), the exit code
# expected, then the calls that apt-get must have seen, in order.
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=$(mktemp -d /tmp/tavelin-install.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"

cat >"$work/bin/apt-get" <<'SH'
#!/usr/bin/env bash
echo "apt-get $*" | sed 's/ -y -q --no-install-recommends//' >>"$STUB_LOG"
case $1 in
  update) n=$(cat "$STUB_DIR/updates" 2>/dev/null || echo 0); echo $((n + 1)) >"$STUB_DIR/updates"
          [ "$n" -ge "$UPDATE_FAILS" ]; exit ;;
  install) n=$(cat "$STUB_DIR/installs" 2>/dev/null || echo 0); echo $((n + 1)) >"$STUB_DIR/installs"
           [ "$n" -ge "$INSTALL_FAILS" ] || { echo "E: held broken packages" >&2; exit 100; }
           for p in "${@:2}"; do [[ $p == -* || $p == bookworm ]] || echo "$p" >>"$STUB_DIR/installed"; done ;;
esac
SH
cat >"$work/bin/dpkg-query" <<'SH'
#!/usr/bin/env bash
grep -qx "${@: -1}" "$STUB_DIR/installed" 2>/dev/null && printf 'install ok installed'
SH
printf '#!/bin/sh\necho "dpkg $*" >>"$STUB_LOG"\n' >"$work/bin/dpkg"
printf '#!/bin/sh\necho 0\n' >"$work/bin/id"
printf '#!/bin/sh\necho "sleep $*" >>"$STUB_LOG"\n' >"$work/bin/sleep"
chmod +x "$work/bin"/*

failures=0
check() {  # check NAME UPDATE_FAILS INSTALL_FAILS EXPECTED_CODE PRESENT EXPECTED_CALLS
  local name=$1 stub=$work/$1
  mkdir -p "$stub"
  : >"$stub/log"
  [ -n "$5" ] && tr ' ' '\n' <<<"$5" >"$stub/installed"
  local out code
  out=$(PATH="$work/bin:$PATH" STUB_DIR=$stub STUB_LOG=$stub/log UPDATE_FAILS=$2 INSTALL_FAILS=$3 \
        bash -c '. "$1"; install_packages wine wine32:i386 xvfb' _ "$root/scripts/install-packages.sh" 2>&1)
  code=$?
  local calls
  calls=$(grep '^apt-get\|^sleep' "$stub/log" | paste -sd'|')
  if [ "$code" != "$4" ] || [ "$calls" != "$6" ]; then
    echo "FAIL $name: exit $code (wanted $4), calls: $calls"
    echo "      wanted: $6"
    echo "$out" | sed 's/^/      | /'
    failures=$((failures + 1))
    return
  fi
  # What a user must read: a failed install names what is missing and the command to try.
  if [ "$4" != 0 ] && ! grep -q "Could not install: wine wine32:i386 xvfb" <<<"$out"; then
    echo "FAIL $name: the message does not name the missing packages"; failures=$((failures + 1))
  fi
  if [ "$4" != 0 ] && ! grep -q "apt-get install -t .*xvfb" <<<"$out"; then
    echo "FAIL $name: the message gives no command to try"; failures=$((failures + 1))
  fi
  if [ "$4" = 0 ] && [ "$(sort -u "$stub/installed" | paste -sd' ')" != "wine wine32:i386 xvfb" ]; then
    echo "FAIL $name: not everything was installed"; failures=$((failures + 1))
  fi
  echo "ok   $name"
}

base=$(. /etc/os-release 2>/dev/null; echo "${VERSION_CODENAME:-}")
i="apt-get install wine wine32:i386 xvfb"
it="apt-get install -t $base wine wine32:i386 xvfb"
u="apt-get update -q"
check healthy_mirror       0 0 0 ""     "$u|$i"
check update_fails_once    1 0 0 ""     "$u|sleep 10|$u|$i"
check update_always_fails  9 0 0 ""     "$u|sleep 10|$u|$i"
check halves_mismatched    9 1 0 ""     "$u|sleep 10|$u|$i|$it"
check nothing_installs     0 9 1 ""     "$u|$i|$it"
check only_missing_asked   0 0 0 "wine" "$u|apt-get install wine32:i386 xvfb"
check all_present          0 0 0 "wine wine32:i386 xvfb" ""

[ $failures -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
