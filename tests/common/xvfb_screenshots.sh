# Shared by the take_*screenshots.sh scripts: runs a screenshot program of the
# build under a private Xvfb display and stops the display afterwards.
#
# take_screenshots DISPLAY SCREEN PROGRAM [BUILD_DIR]
#   DISPLAY   a display number of the script's own, e.g. :98
#   SCREEN    Xvfb's screen geometry, e.g. 1600x1000x24
#   PROGRAM   the program in BUILD_DIR/bin; it writes into docs/screenshots
#   BUILD_DIR the build folder (build/release when empty)
take_screenshots() {
  local here
  here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  local build=${4:-$here/build/release}
  Xvfb "$1" -screen 0 "$2" >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill $xvfb' EXIT
  sleep 1
  DISPLAY=$1 "$build/bin/$3" "$here/docs/screenshots"
}
