#!/bin/sh
# The DLL a user copies into a VST folder: it must load on any Windows, so it
# may import only the system's own libraries (the C++ runtime, libgcc and the
# thread library are linked in), and it exports exactly the two entries.
# Usage: check-dll-tables.sh OBJDUMP DLL
set -eu
objdump=$1 dll=$2
table=$("$objdump" -p "$dll")
imports=$(printf '%s\n' "$table" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
status=0
for name in $imports; do
  case "$name" in
    kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|shell32.dll|comdlg32.dll|ole32.dll|\
    msimg32.dll|msvcrt.dll|ucrtbase.dll|api-ms-win-crt-*.dll) ;;
    *) echo "imports $name, which Windows does not ship"; status=1 ;;
  esac
done
printf '%s\n' "$imports" | grep -qx 'kernel32.dll' || { echo "no import table found"; status=1; }
# The export name table: "[ordinal] name" lines after "[Ordinal/Name Pointer] Table".
exports=$(printf '%s\n' "$table" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p' | sort)
expected=$(printf 'VSTPluginMain\nmain\n' | sort)
if [ "$exports" != "$expected" ]; then
  echo "exports:"; printf '%s\n' "$exports"; echo "expected exactly VSTPluginMain and main"; status=1
fi
[ $status -eq 0 ] && echo "imports: $(echo $imports); exports: $(echo $exports)"
exit $status
