#!/usr/bin/env bash
# The main job: sets up and builds everything, then runs the tivra program's
# demo on the bundled sample data (output in ./tivra-demo unless a folder is
# given).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
build/bin/tivra demo "${1:-tivra-demo}"
