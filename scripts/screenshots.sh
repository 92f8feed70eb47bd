#!/usr/bin/env bash
# Renders every window under Xvfb into docs/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh >/dev/null
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" build/tools/tavarine-screenshots docs/screenshots
ls docs/screenshots
