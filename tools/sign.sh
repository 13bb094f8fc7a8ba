#!/usr/bin/env bash
# Authenticode-signs a copy of a PE file with a test CA's leaf (SHA-256 file digest,
# leaf + root embedded).
#   sign.sh <key> <chain.crt> <in> <out>
set -euo pipefail
key=$1 chain=$2 in=$3 out=$4
tmp=$out.tmp
rm -f "$tmp"
osslsigncode sign -certs "$chain" -key "$key" -h sha256 -n "$(basename "$in")" \
  -in "$in" -out "$tmp" >"$tmp.log" 2>&1 || { cat "$tmp.log" >&2; rm -f "$tmp" "$tmp.log"; exit 1; }
rm -f "$tmp.log"
mv -f "$tmp" "$out"
