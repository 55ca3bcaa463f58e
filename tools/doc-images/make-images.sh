#!/bin/sh
# Draws the pictures of the README, the docs and the help pages into the
# source folder: make-images.sh [build folder] (build-test by default).
# The help window's screenshot wants a real display with fonts, so it runs
# under xvfb-run where that is installed; the race details window draws
# offscreen.
set -eu
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
build_dir=${1:-$source_dir/build-test}
cmake --build "$build_dir" --target help-images race-details-image
if command -v xvfb-run >/dev/null; then
    xvfb-run -a "$build_dir/tools/doc-images/help-images" "$source_dir"
else
    echo "xvfb-run is not installed: the help window is drawn offscreen" >&2
    QT_QPA_PLATFORM=offscreen "$build_dir/tools/doc-images/help-images" "$source_dir"
fi
QT_QPA_PLATFORM=offscreen "$build_dir/tools/doc-images/race-details-image" "$source_dir"
