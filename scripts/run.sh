#!/usr/bin/env bash
# Sets up Sonorel and runs its main job: Sonorel on the demo mix. Without a display it runs under
# xvfb-run, exports the demo mix to a WAV file and ends, printing where the file is.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >/dev/null
exe=build/src/windows/sonorel
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$exe" "$@"
else
  exec xvfb-run -a -s "-screen 0 1600x1000x24" "$exe" "$@"
fi
