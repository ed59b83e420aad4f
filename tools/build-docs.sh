#!/usr/bin/env bash
# Builds the reference documentation into build/docs/: the C++ headers with Doxygen (Debian
# package doxygen, installed by tools/setup.sh) into build/docs/cpp/html, and the .NET API from
# the XML documentation comments plus the guide pages of docs/ with docfx (a local tool of the
# manifest dotnet-tools.json) into build/docs/dotnet. Open build/docs/dotnet/index.html.
set -euo pipefail
cd "$(dirname "$0")/.."
export DOTNET_NOLOGO=1 DOTNET_CLI_TELEMETRY_OPTOUT=1

mkdir -p build/docs/cpp
(cat docs/Doxyfile; echo "OUTPUT_DIRECTORY = build/docs/cpp") | doxygen -
dotnet tool restore
dotnet tool run docfx docs/docfx.json
echo "docs: build/docs/dotnet/index.html and build/docs/cpp/html/index.html"
