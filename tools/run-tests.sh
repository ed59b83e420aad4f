#!/usr/bin/env bash
# Every test: sets up and builds everything, then runs the native suite and the
# installed-package check through CTest, the Python tests through pytest, the
# .NET suite through dotnet test, and the native tests again under
# AddressSanitizer, UndefinedBehaviorSanitizer and ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
export DOTNET_NOLOGO=1 DOTNET_CLI_TELEMETRY_OPTOUT=1
ctest --test-dir build --output-on-failure -j "$(nproc)"
# The Python module against the build tree; a run that collects no test exits 5 and fails.
/usr/bin/python3 -m pytest python/tests -q
dotnet test tests/api/Pelmora.Ostrel.Tests -c Release
bash tools/run-sanitized-tests.sh
