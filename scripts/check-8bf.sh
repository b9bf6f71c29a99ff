#!/bin/sh
# Checks a plug-in file as hosts need it: built for the expected machine, importing system
# DLLs only (the runtime is linked statically; hosts do not search the plug-in's folder), and
# exporting exactly the undecorated entry point.
# Usage: check-8bf.sh OBJDUMP FILE.8bf x86-64|i386
set -eu
objdump=$1 file=$2 machine=$3
dump=$("$objdump" -p "$file")

echo "$dump" | grep -q "file format pei-$machine" || { echo "$file: not a pei-$machine file"; exit 1; }

imports=$(echo "$dump" | awk '/DLL Name:/ {print $3}')
bad=$(echo "$imports" |
      grep -viE '^(kernel32|user32|gdi32|comdlg32|comctl32|advapi32|shell32|ole32|msvcrt)\.dll$' || true)
[ -z "$bad" ] || { echo "$file imports non-system DLLs: $bad"; exit 1; }

exports=$(echo "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
          awk -F'] ' '/\[/ && !/Ordinal/ {print $2}')
[ "$exports" = "PluginMain" ] || { echo "$file exports '$exports', expected only PluginMain"; exit 1; }

echo "$file: pei-$machine, imports $(echo $imports), exports $exports"
