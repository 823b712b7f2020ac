# Installs the Debian packages a command needs, or says exactly how to. Sourced by run.sh and
# test.sh: `need_packages pkg...` returns when all are installed, installs the missing ones when
# running as root, and otherwise prints the apt-get command and exits.
need_packages() {
  local missing=()
  local pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    # A fresh machine has no package lists yet; a failing update with old lists is still usable.
    apt-get update -qq || true
    # Another apt may be running (an unattended upgrade, a second build): wait for its lock.
    apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "${missing[@]}" >&2
  else
    echo "Missing Debian packages. Run this as root, then try again:" >&2
    echo "  apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
}
