#!/usr/bin/env bash
# Runs one Windows program under Wine in the project's prefix: the test emulator of the
# Windows build, and the way to start our .exe files by hand.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
zt_wine_prefix_ready
exec wine "$@"
