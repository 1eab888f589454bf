#!/usr/bin/env bash
# Builds the six plug-ins and runs each on its bundled sample program file through its
# exchange channel, printing the listing and the property block it wrote.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build
cmake -S . -B build -G Ninja >/dev/null
cmake --build build
python3 tools/demo.py build
