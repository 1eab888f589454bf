#!/usr/bin/env bash
# Samples one-line changes to the folders given (framework/ and decoders/ unless told: tools/tvx
# for the tool, python/src and python/tvx for the Python module), rebuilds and runs the folders'
# tests (the Windows tests aside) for each, and prints the share the suite catches. A tool to run
# by hand, not part of the test run: it changes the source tree while it runs (and puts it back),
# and takes about a minute or two per change. Options and details: scripts/mutation.py.
#
#   scripts/mutation.sh [--count 100] [--seed 1] [--build build-mutation] [--list] [--only N,...]
#                       [--tests REGEX] [FOLDER...]
set -euo pipefail
exec python3 "$(dirname "$0")/mutation.py" "$@"
