#!/usr/bin/env bash
# Takes the README's screenshots of the panel as it starts, after the machine
# has reported the function "transparent tape": docs/panel.png with the
# desktop's font as it comes, docs/panel-12pt.png with fonts at 12 points
# (9-point text at 128 dpi). Runs the panel and tolvane-sim from build/ under
# a virtual X server, in a temporary home; needs xvfb, x11-utils, imagemagick.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
app=$root/build/src/TolvaneApp
sim=$root/build/tools/sim/tolvane-sim
for tool in xvfb-run xwininfo import; do
  command -v "$tool" >/dev/null || { echo "$0: $tool missing (apt-get install xvfb x11-utils imagemagick)" >&2; exit 1; }
done

if [[ ${1:-} != --inside ]]; then
  "$0" --inside "$root/docs/panel.png" 96
  "$0" --inside "$root/docs/panel-12pt.png" 128
  exit 0
fi
out=$2
dpi=$3
scratch=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; wait; rm -rf "$scratch"' EXIT
printf 'start[0,2,12,1,15,30,45,0,0]end\n' >"$scratch/frame"
export HOME=$scratch XDG_CONFIG_HOME=$scratch
# shellcheck disable=SC2016
QT_FONT_DPI=$dpi xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  "$1" >/dev/null 2>&1 &
  for _ in $(seq 50); do
    id=$(xwininfo -root -tree | awk "/\\(\"TolvaneApp\"/ {print \$1; exit}")
    [[ -n $id ]] && break
    sleep 0.2
  done
  "$2" --udp --script "$3" >/dev/null
  sleep 1
  import -window "$id" "$4"
  kill %1' _ "$app" "$sim" "$scratch/frame" "$out"
echo "wrote $out"
