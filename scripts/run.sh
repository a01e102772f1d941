#!/usr/bin/env bash
# Sets up Sonorel and runs its main job: Sonorel on the demo mix. The demo's sources are music
# synthesised by the project's own generator. Without a display it runs under xvfb-run, exports
# the demo mix to a WAV file and ends, printing where the file is.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >/dev/null
exe=build/src/windows/sonorel
demo=build/demo
# Made afresh each time (a second or two), so a demo left by an older build never stands in.
build/tools/make_demo "$demo" >/dev/null
project=$(realpath "$demo/demo.snmx")
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$exe" "$project" "$@"
fi
# XDG_RUNTIME_DIR must exist with mode 0700 for Qt; a root shell often has none.
if [ -z "${XDG_RUNTIME_DIR:-}" ] || [ ! -d "$XDG_RUNTIME_DIR" ]; then
  export XDG_RUNTIME_DIR
  XDG_RUNTIME_DIR=$(mktemp -d)
  trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
fi
wav=$(build/tools/make_demo --test-wav-path)
rm -f "$wav"
# A message box would wait for a person who isn't there: the time limit ends such a run.
timeout 600 xvfb-run -a -s "-screen 0 1600x1000x24" "$exe" "$project" towavtest closenoquery close "$@"
if [ ! -s "$wav" ]; then
  echo "Sonorel did not export the demo mix." >&2
  exit 1
fi
echo "Exported the demo mix to $wav"
