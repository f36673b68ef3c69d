#!/usr/bin/env bash
# Installs the build into a fresh prefix and starts the installed program
# offscreen for a user with empty home folders. It must find its languages and
# help under the prefix, keep configs.ini and its default folders in the
# user's folders and write nothing into the prefix; the installed lab must
# find its sample world. Runs in a private network namespace (the window's
# first showing searches for devices). Bounded: about 10 s.
#   installed_program_test.sh BUILD_DIR [CMAKE]
set -euo pipefail
build=$1
cmake=${2:-cmake}
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
expect_line() {  # expect_line TEXT LINE
  grep -qxF -- "$2" <<<"$1" || fail "expected \"$2\" in:"$'\n'"$1"
}

# The build tree's bin/ is laid out as an installed copy: the same programs,
# no tests, benchmarks or tools (those live in tests/bin and bench/bin).
programs=$(cd "$build/bin" && find . -maxdepth 1 -type f -perm -u+x ! -name '*.so' -printf '%f\n' | sort | xargs)
[ "$programs" = "tovarin tovarin-devsim tovarin-fleet tovarin-mkpatch tovarin-sign" ] ||
  fail "the build's bin/ holds: $programs"

prefix=$work/prefix
"$cmake" --install "$build" --prefix "$prefix" >/dev/null

# The operator's programs only: no tests, benchmarks or screenshot tools.
bins=$(cd "$prefix/bin" && echo *)
[ "$bins" = "tovarin tovarin-devsim tovarin-fleet tovarin-mkpatch tovarin-sign" ] || fail "bin/ holds: $bins"
for f in lib/tovarin/libkestrum.so lib/tovarin/liblorvex.so share/tovarin/language/language.ext \
  share/tovarin/help/auto.help share/applications/tovarin.desktop \
  share/icons/hicolor/scalable/apps/tovarin.svg share/tovarin-devsim/world/lab.ini; do
  [ -f "$prefix/$f" ] || fail "not installed: $f"
done
# The fleet program finds its device libraries from the installed folder.
"$prefix/bin/tovarin-fleet" --help >/dev/null || fail "the installed tovarin-fleet does not start"
"$prefix/bin/tovarin-sign" keygen -p "$work/k.pub" -s "$work/k.key" >/dev/null ||
  fail "the installed tovarin-sign does not make a key"
before=$(cd "$prefix" && find . | sort)

export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
export XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
config=$XDG_CONFIG_HOME/Tovarin

report=$("$prefix/bin/tovarin" --folders)
expect_line "$report" "data: $prefix/share/tovarin"
expect_line "$report" "languages: English, 简体中文"
expect_line "$report" "current language: 简体中文"
expect_line "$report" "help texts: loaded"
expect_line "$report" "settings: $config/configs.ini"
expect_line "$report" "download folder: $XDG_DATA_HOME/Tovarin/download"
# Signing keys: the system's folder and the user's; none trusted by default.
expect_line "$report" "trusted keys folder: /etc/tovarin/trusted-keys"
expect_line "$report" "trusted keys folder: $config/trusted-keys"
expect_line "$report" "trusted keys: none (updates are not verified)"
grep -qxF "downloadsavepath=$XDG_DATA_HOME/Tovarin/download" "$config/configs.ini" ||
  fail "configs.ini: $(cat "$config/configs.ini")"
[ -d "$XDG_DATA_HOME/Tovarin/patch" ] || fail "default patch folder not made"

# The language chosen on the Options page is kept in the user's folder.
printf '[CONFIGS]\nlanguage=English\n' >"$config/language.ext"
report=$("$prefix/bin/tovarin" --folders)
expect_line "$report" "current language: English"

# The window itself: it starts, shows and keeps running until closed.
"$prefix/bin/tovarin" 2>"$work/tovarin.err" &
program=$!
sleep 3
kill -0 $program 2>/dev/null || fail "tovarin ended at start: $(cat "$work/tovarin.err")"
kill $program
wait $program 2>/dev/null || true

"$prefix/bin/tovarin-devsim" >"$work/devsim.out" 2>&1 &
lab=$!
for _ in $(seq 50); do
  grep -q "^update server" "$work/devsim.out" && break
  sleep 0.1
done
kill $lab
wait $lab 2>/dev/null || true
grep -q "^device CAM0001A at 127.0.0.2:9001" "$work/devsim.out" ||
  fail "tovarin-devsim: $(cat "$work/devsim.out")"
grep -qF "serving $prefix/share/tovarin-devsim/world/updateserver" "$work/devsim.out" ||
  fail "tovarin-devsim: $(cat "$work/devsim.out")"

after=$(cd "$prefix" && find . | sort)
[ "$before" = "$after" ] || fail "the programs wrote into the prefix:"$'\n'"$(diff <(echo "$before") <(echo "$after"))"
echo "installed program and lab found their data; settings in $config"
