# Sourced by tavelin.sh: installs Debian packages that are missing, and gets past a package mirror
# caught half-way through a synchronisation, which a newcomer or a fresh CI machine cannot wait for.
#
# An index that fails to download makes "apt-get update" exit non-zero although every other list
# was read; it is tried again once, then the lists that could be read are used. When the lists of
# one architecture are older than the other's (typically the i386 half of the security suite),
# Wine's 32-bit libraries cannot match their 64-bit twins and the install fails; the base release
# holds both halves at the same versions, so the install is tried again from it.

: "${TAVELIN_APT_RETRY_DELAY:=10}"

apt_base_release() {
  local VERSION_CODENAME=
  [ -r /etc/os-release ] && . /etc/os-release
  echo "${VERSION_CODENAME:-}"
}

# install_packages NAME...: those not installed yet
install_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo dpkg --add-architecture i386
  if ! $sudo apt-get update -q; then
    echo "apt-get update failed; trying again in ${TAVELIN_APT_RETRY_DELAY} s."
    sleep "$TAVELIN_APT_RETRY_DELAY"
    if ! $sudo apt-get update -q; then
      echo "apt-get update failed again (a mirror being synchronised?): going on with the" \
           "package lists that could be read."
    fi
  fi
  local install=(env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends)
  $sudo "${install[@]}" "${missing[@]}" && return 0
  local base
  base=$(apt_base_release)
  if [ -n "$base" ]; then
    echo "The install failed; the lists of one architecture may be newer than the other's."
    echo "Trying again from the base release only: apt-get install -t $base ..."
    $sudo "${install[@]}" -t "$base" "${missing[@]}" && {
      echo "Installed from the base release ($base)."
      return 0
    }
  fi
  echo "Could not install: ${missing[*]}" >&2
  echo "Try, once the package mirror is whole again:" >&2
  echo "  sudo dpkg --add-architecture i386 && sudo apt-get update &&" \
       "sudo apt-get install ${base:+-t $base }${missing[*]}" >&2
  return 1
}
