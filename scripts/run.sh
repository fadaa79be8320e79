#!/usr/bin/env bash
# Installs what is missing, builds Quillpost and runs it (needs a graphical session).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset default >/dev/null
cmake --build build --target quillpost
exec ./build/quillpost
