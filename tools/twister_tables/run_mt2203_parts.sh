#!/bin/sh
# Generates the MT2203 table in parts of 10 rows (rows 3 .. 6022; the last
# part ends at the fixed row 6023), in order, skipping parts already present.
# Usage: run_mt2203_parts.sh <make_mt2203_table binary> [parts dir]
tool=$1
dir=${2:-$(dirname "$0")/parts}
mkdir -p "$dir"
first=3
while [ $first -le 6023 ]; do
  last=$((first + 9))
  [ $last -ge 6022 ] && last=6023
  [ -f "$dir/rows_${first}_${last}.inc" ] || "$tool" $first $last "$dir" 2>>"$dir/log.txt" || exit 1
  first=$((last + 1))
done
