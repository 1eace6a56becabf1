#!/bin/sh
# Probes the Linux plug-in and the Windows DLL (under Wine) with the same
# host calls and programme, then holds the two records against each other.
# Usage: compare-with-linux.sh LINUX_PROBE LINUX_PLUGIN WINE WINDOWS_PROBE DLL WORKDIR
# Exits 77 (skipped) when there is no Linux build to compare with.
set -eu
linux_probe=$1 linux_plugin=$2 wine=$3 windows_probe=$4 dll=$5 work=$6
if [ ! -x "$linux_probe" ] || [ ! -f "$linux_plugin" ]; then
  echo "no Linux build at $(dirname "$linux_probe"): build the default preset first"
  exit 77
fi
mkdir -p "$work"
"$linux_probe" "$linux_plugin" "$work/linux.probe"
WINEDEBUG=-all "$wine" "$windows_probe" "$dll" "$work/windows.probe"
"$linux_probe" --compare "$work/linux.probe" "$work/windows.probe"
