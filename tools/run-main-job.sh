#!/usr/bin/env bash
# The main job: Wrenvia on a fresh, throw-away profile (nothing of the real
# user's profile is read or written).
set -euo pipefail
build=${1:-build/release}
profile=$(mktemp -d /tmp/wrenvia-profile-XXXXXX)
trap 'rm -rf "$profile"' EXIT
export HOME="$profile/home" XDG_CONFIG_HOME="$profile/config" XDG_DATA_HOME="$profile/data" \
       XDG_CACHE_HOME="$profile/cache" MAILDIR="$profile/Maildir"
mkdir -p "$HOME"
"$build/wrenvia" settings list
