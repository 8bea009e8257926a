#!/usr/bin/env bash
# Saves PNGs of the plug-in's dialogs as Wine draws them: each dialog is shown
# by dialogshot.exe from the resources of the built Mitutoyo.cmm, and the X
# display is grabbed with ImageMagick's import. Runs inside wine-run.sh.
# Usage: screenshots.sh <windows build folder> <output folder>
set -euo pipefail
build=${1:?usage: $0 <build folder> <output folder>}
out=${2:?usage: $0 <build folder> <output folder>}
mkdir -p "$out"
bin="$build/bin"
for id in 101 103 104; do
  geometry_file=$(mktemp)
  timeout 60 wine "$bin/dialogshot.exe" "$bin/Mitutoyo.cmm" "$id" 4000 >"$geometry_file" &
  shower=$!
  for _ in $(seq 100); do
    [ -s "$geometry_file" ] && break
    sleep 0.1
  done
  geometry=$(tr -d '\r\n' <"$geometry_file")
  rm -f "$geometry_file"
  if [ -z "$geometry" ]; then
    echo "dialog $id was not shown" >&2
    wait "$shower" || true
    exit 1
  fi
  sleep 1
  timeout 30 import -window root -crop "$geometry" +repage "$out/dialog_$id.png"
  echo "$out/dialog_$id.png ($geometry)"
  wait "$shower" || true
done
