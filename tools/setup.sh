#!/usr/bin/env bash
# Prepares a fresh machine and builds everything: the Debian packages the
# build needs, the CMake tree in build/ (Release), and the NuGet packages of
# the .NET solution. Safe to run again: each step does only what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

# python3-gdal, python3-distributed, python3-zarr, python3-xarray and python3-rioxarray: tivra.dask,
# the module's cluster layer (Zarr stores and xarray arrays are its optional outputs);
# dpkg-dev and pkg-config: the Debian packages (cpack) and the pkg-config check.
# pybind11-dev and python3-numpy build the Python module (python/); pytest, hypothesis, pyproj and
# rasterio run its tests and example; setuptools, venv and pip install it into a virtual environment.
packages=(g++ cmake ninja-build libgtest-dev libgmock-dev libbenchmark-dev libeigen3-dev libgdal-dev gdal-bin libfontconfig1 doxygen
  dpkg-dev pkg-config python3-gdal python3-distributed python3-zarr python3-xarray python3-rioxarray
  pybind11-dev python3-dev python3-numpy python3-pytest python3-hypothesis python3-pyproj python3-rasterio
  python3-setuptools python3-venv python3-pip)
# Optional, only with TIVRA_SETUP_FUZZ=1: clang and its libFuzzer runtime for
# the fuzz targets (fuzz/README.md); the normal set-up does not need them.
optional=(clang libclang-rt-dev)
[[ ${TIVRA_SETUP_FUZZ:-0} == 1 ]] && packages+=("${optional[@]}")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi

if ! command -v dotnet >/dev/null; then
  echo "setup: the .NET 10 SDK (dotnet) is required for the public layer" >&2
  exit 1
fi

export DOTNET_NOLOGO=1 DOTNET_CLI_TELEMETRY_OPTOUT=1
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$(nproc)"
dotnet restore Pelmora.Ostrel.slnx
