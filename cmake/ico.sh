#!/bin/sh
# Writes a Windows icon file holding the given PNG pictures (square, 32-bit):
# the header, one directory entry per picture, then the pictures as they are.
# usage: cmake/ico.sh OUT.ico SIZE:FILE.png...
set -eu
out=$1
shift
le16() { printf "\\$(printf %03o $(($1 & 255)))\\$(printf %03o $(($1 >> 8 & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $(($1 >> 16 & 65535)); }
{
  le16 0
  le16 1
  le16 $#
  offset=$((6 + 16 * $#))
  for entry in "$@"; do
    size=${entry%%:*}
    file=${entry#*:}
    bytes=$(wc -c <"$file")
    # 256 is written as 0.
    printf "\\$(printf %03o $((size & 255)))\\$(printf %03o $((size & 255)))\\000\\000"
    le16 1
    le16 32
    le32 "$bytes"
    le32 "$offset"
    offset=$((offset + bytes))
  done
  for entry in "$@"; do cat "${entry#*:}"; done
} >"$out.tmp"
mv "$out.tmp" "$out"
