#!/usr/bin/env bash
# Builds and runs the whole test suite: the default build, the Windows DLL
# under Wine, the same suite under AddressSanitizer + UBSan and under
# ThreadSanitizer, and a bounded fuzzing run of every loader of outside
# data; then makes the Debian package, checks it with lintian and tries it
# where it installs (for real only when CI=true). Installs what it needs
# first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --tests
# Each phase's heading says when it began, in minutes and seconds since the
# start (the installation above included), so a slow phase shows in any log.
phase() {
  printf '=== [%d:%02d] %s\n' $((SECONDS / 60)) $((SECONDS % 60)) "$*"
}
phase "format: every source file as .clang-format lays it out"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
jobs=$(nproc)
log=$(mktemp /tmp/zelto-ctest-XXXXXX)
trap 'rm -f "$log"' EXIT
run_ctest() {
  ctest --preset "$1" -j "${jobs}" "${@:2}" | tee -a "$log"
}
# Line tables are all the debug information a failure report needs here;
# full debug information would make each build a fifth slower.
lines_only=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"
  -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DCMAKE_C_FLAGS_DEBUG=-g1)
for preset in default asan; do
  phase "${preset}: build"
  cmake --preset "${preset}" "${lines_only[@]}" >/dev/null
  cmake --build --preset "${preset}" -j "${jobs}"
  phase "${preset}: test"
  run_ctest "${preset}"
done
phase "windows: cross-build the DLL, run its tests under Wine"
cmake --preset windows -DZELTO_WERROR=ON >/dev/null
cmake --build --preset windows -j "${jobs}"
# The editor tests open real windows: Wine draws them on a private X server.
# Should that server or Wine's start-up fail before ctest has begun (seen
# once, as a broken pipe with no test run), the suites get one more start;
# a test that fails is never run again.
wine_out=$(mktemp /tmp/zelto-wine-XXXXXX)
wine_tests() {
  scripts/private-x.sh scripts/wine-tests.sh -j "${jobs}" | tee "$wine_out"
}
if ! wine_tests; then
  if grep -q "^Test project" "$wine_out"; then exit 1; fi
  phase "windows: the X server or Wine did not start; once more"
  wine_tests
fi
cat "$wine_out" >>"$log"
rm -f "$wine_out"
# The Windows deliverable: the DLL and the README in one zip.
rm -f build/windows/KRWZelto-*.zip
cpack --preset windows >/dev/null
zip=$(ls build/windows/KRWZelto-*-win64.zip)
listing=$(cmake -E tar tf "${zip}")
grep -q '/KRWZelto.dll$' <<<"${listing}"
grep -q '/README.md$' <<<"${listing}"
echo "packaged ${zip}"
phase "tsan: build"
cmake --preset tsan "${lines_only[@]}" >/dev/null
cmake --build --preset tsan -j "${jobs}"
phase "tsan: test"
run_ctest tsan
phase "fuzz: loaders of chunks, presets and banks"
scripts/fuzz.sh 20
# The package is made from the default build (the release preset differs
# only in optimisation and debug information, which cpack strips), so its
# checks cost no third build of the whole tree.
phase "package: the default build's Debian package, checked, and its plug-ins tried"
rm -f build/default/krw-zelto_*.deb
(cd build/default && cpack -G DEB >/dev/null)
deb=$(ls build/default/krw-zelto_*_amd64.deb)
version=$(sed -n 's/^project(KRWZelto VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
case "${deb}" in *"_${version}_"*) ;; *) echo "package ${deb} is not version ${version}"; exit 1 ;; esac
lintian --fail-on error,warning "${deb}"
echo "lintian: nothing to say about ${deb}"
# A contributor's /usr stays as it was: the package is unpacked into a
# scratch root there, and installed for real only on CI machines.
if [ "${CI:-}" = "true" ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get install -y -qq --reinstall "./${deb}" >/dev/null
  root=""
else
  root=$(mktemp -d /tmp/zelto-deb-XXXXXX)
  trap 'rm -f "$log"; rm -rf "$root"' EXIT
  dpkg-deb -x "${deb}" "${root}"
fi
# Whole outputs first: grep -q leaving early would end zelto with SIGPIPE.
versions=$("${root}/usr/bin/zelto" --version)
test "$(head -n 1 <<<"${versions}")" = "zelto ${version}"
grep -q "^plug-in KRW Zelto, version 1 (vendor version 0), ${root}/usr/lib/vst/KRWZelto.so$" <<<"${versions}"
info=$("${root}/usr/bin/zelto" info "${root}/usr/lib/vst/KRWZelto.so")
grep -q "^Effect name     KRW Zelto$" <<<"${info}"
info=$("${root}/usr/bin/zelto" info)
grep -q "^Plug-in         ${root}/usr/lib/vst/KRWZelto.so (entry VSTPluginMain)$" <<<"${info}"
test -f "${root}/usr/lib/clap/KRWZelto.clap"
manual=$(MANWIDTH=80 man --warnings -l "${root}/usr/share/man/man1/zelto.1.gz" 2>&1)
grep -q "^ *zelto master IN OUT --lufs L \[options\]$" <<<"${manual}"
if grep "troff.*warning" <<<"${manual}"; then exit 1; fi
for file in manifest.ttl krw-zelto.ttl presets.ttl krw-zelto.so krw-zelto-ui.so; do
  test -f "${root}/usr/lib/lv2/krw-zelto.lv2/${file}"
done
plugins=$(LV2_PATH="${root}/usr/lib/lv2" lv2ls)
grep -qx "https://krw-soundlab.com/plugins/zelto" <<<"${plugins}"
echo "${deb}${root:+ unpacked in ${root}}: zelto ${version} loads the VST 2.4 plug-in;" \
  "the LV2 bundle, the CLAP plug-in and the manual are where hosts and man look"
# One closing line over every ctest run above (each stopped the script had
# anything failed).
total=$(grep -E 'tests passed, 0 tests failed out of' "$log" | awk '{s += $NF} END {print s + 0}')
echo "tests: ${total} passed, 0 failed"
