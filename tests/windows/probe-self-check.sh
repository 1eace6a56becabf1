#!/bin/sh
# The probe twice on the same plug-in must agree; a record with one audio
# sample moved by 1e-6 and one with a changed name must not.
set -eu
probe=$1 plugin=$2 work=$3
mkdir -p "$work"
"$probe" "$plugin" "$work/a.probe"
"$probe" "$plugin" "$work/b.probe"
"$probe" --compare "$work/a.probe" "$work/b.probe"
awk '/^audio hot 1 1000 / { $5 = $5 + 1e-6 } { print }' "$work/a.probe" > "$work/c.probe"
if "$probe" --compare "$work/a.probe" "$work/c.probe"; then
  echo "a moved sample went unnoticed"; exit 1
fi
sed 's/^param 3 name .*/param 3 name Other/' "$work/a.probe" > "$work/d.probe"
if "$probe" --compare "$work/a.probe" "$work/d.probe"; then
  echo "a changed name went unnoticed"; exit 1
fi
echo "probe repeats itself and tells differences"
