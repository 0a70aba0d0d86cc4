#!/usr/bin/env bash
# Installs what is missing, builds the command line and simulates the demo basin.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/bootstrap.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)" --target tarnwell
./build/tarnwell run --workspace examples/demo
