#!/usr/bin/env bash
# Installs everything Wrenvia needs to build, test and run, from Debian's
# packages (and the chart scripts of the statistics page from the npm registry).
# Safe to run again: it installs only what is missing.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)

packages=(
  build-essential make cmake g++ clang libclang-rt-14-dev pkg-config git
  libjson-c-dev libpcre3-dev liblog4cpp5-dev libsqlite3-dev sqlite3
  libcurl4-openssl-dev libxml2-dev libsodium-dev libgmime-3.0-dev
  libcpp-httplib-dev googletest libgtest-dev libgmock-dev
  libgdk-pixbuf-2.0-dev
  python3 chromium xdg-utils ca-certificates
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
command -v npm >/dev/null 2>&1 || missing+=(nodejs npm)

if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
      echo "setup: these packages are missing: ${missing[*]}" >&2
      echo "setup: run this script as root, or install sudo, to install them" >&2
      exit 1
    fi
    sudo="sudo"
  fi
  echo "setup: installing ${missing[*]}"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Chart scripts of the statistics page, pinned by the lockfile; installed
# again when the lockfile changed since the last install.
page="$here/stats/page"
if [ -f "$page/package-lock.json" ]; then
  if [ ! -f "$page/node_modules/flot/package.json" ] || [ "$page/package-lock.json" -nt "$page/node_modules/.package-lock.json" ]; then
    echo "setup: installing the chart scripts"
    (cd "$page" && npm ci --no-audit --no-fund --loglevel=error)
  fi
fi
echo "setup: done"
