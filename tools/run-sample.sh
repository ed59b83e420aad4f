#!/usr/bin/env bash
# The main job: sets up and builds everything, then runs the grid sample
# program through the public .NET layer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
export DOTNET_NOLOGO=1 DOTNET_CLI_TELEMETRY_OPTOUT=1
dotnet run --project tools/GridSample -c Release
