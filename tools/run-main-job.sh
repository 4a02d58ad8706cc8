#!/usr/bin/env bash
# The main job: the demo, on a throw-away profile that the demo makes itself
# in a temporary folder (nothing of the real user's profile is read or
# written); the profile stays so its mail can be looked at afterwards.
set -euo pipefail
build=${1:-build/release}
"$build/wrenvia" demo
