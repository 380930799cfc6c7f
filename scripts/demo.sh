#!/usr/bin/env bash
# The main job: builds the launcher, the kit and the demo project, packs it and runs it under
# Wine (in a private prefix, on a virtual display when there is no display).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)

cmake --preset host >/dev/null
cmake --build --preset host -j "$jobs" --target packer >/dev/null
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$jobs" >/dev/null

out=build/demo
mkdir -p "$out"
packer=build/host/tools/packer/packer
python3 examples/demo/make_demo.py --kit build/win64/kit/bin --out "$out"
"$packer" build --manifest "$out/manifest.json" --launcher build/win64/app/launcher.exe \
  --output "$out/DemoProject.exe"
"$packer" list "$out/DemoProject.exe"
"$packer" verify "$out/DemoProject.exe"

if [ "${ORV_DEMO_NO_WINE:-0}" = 1 ]; then exit 0; fi
python3 examples/demo/run_demo.py --exe "$out/DemoProject.exe" --out "$out"
