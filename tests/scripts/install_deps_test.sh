#!/usr/bin/env bash
# scripts/install-deps.sh against a package system that fails the way real mirrors do, with
# apt-get, dpkg and dpkg-query replaced by stand-ins that log what they were asked:
#  - a package index that fails to download twice is tried again, and the install goes on;
#  - an index that never downloads does not stop the install either;
#  - a package of an optional group that cannot be installed (32-bit Wine) is named and the
#    script succeeds; one the linux group needs makes it fail.
# Usage: install_deps_test.sh SOURCE_DIR
set -uo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"

# The stand-ins read their behaviour from files in $work: updates_failing (how many updates
# still fail, or "always"), uninstallable (packages apt-get refuses), installed (what is there).
cat >"$work/bin/apt-get" <<'SH'
#!/usr/bin/env bash
echo "apt-get $*" >>"$STATE/log"
if [ "$1" = update ] || [ "$2" = update ]; then
    left=$(cat "$STATE/updates_failing")
    [ "$left" = always ] && exit 100
    [ "$left" -gt 0 ] && { echo $((left - 1)) >"$STATE/updates_failing"; exit 100; }
    exit 0
fi
packages=()
for a in "$@"; do case "$a" in -*|install) ;; *) packages+=("$a") ;; esac; done
for p in "${packages[@]}"; do
    grep -qx "$p" "$STATE/uninstallable" && exit 100
done
printf '%s\n' "${packages[@]}" >>"$STATE/installed"
exit 0
SH
cat >"$work/bin/dpkg-query" <<'SH'
#!/usr/bin/env bash
grep -qx "${@: -1}" "$STATE/installed" && printf 'install ok installed'
exit 0
SH
printf '#!/bin/sh\nexit 0\n' >"$work/bin/dpkg"
printf '#!/bin/sh\nexit 0\n' >"$work/bin/sleep"
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
chmod +x "$work/bin/"*

failures=0
run() { # name, expected status, updates failing, uninstallable..., then -- groups...
    local name=$1 expected=$2 failing=$3
    shift 3
    local state="$work/$name"
    mkdir -p "$state"
    echo "$failing" >"$state/updates_failing"
    : >"$state/uninstallable"
    : >"$state/installed"
    while [ "$1" != -- ]; do echo "$1" >>"$state/uninstallable"; shift; done
    shift
    STATE=$state PATH="$work/bin:$PATH" bash "$source_dir/scripts/install-deps.sh" "$@" \
        >"$state/out" 2>&1
    local status=$?
    if [ "$status" != "$expected" ]; then
        echo "FAIL: $name: exit $status, expected $expected"; sed 's/^/  /' "$state/out"
        failures=$((failures + 1))
    fi
    last_state=$state
}
expect_output() { # text
    if ! grep -qF "$1" "$last_state/out"; then
        echo "FAIL: $(basename "$last_state"): no '$1' in"; sed 's/^/  /' "$last_state/out"
        failures=$((failures + 1))
    fi
}
expect_installed() { # package
    if ! grep -qx "$1" "$last_state/installed"; then
        echo "FAIL: $(basename "$last_state"): $1 was not installed"; failures=$((failures + 1))
    fi
}

run update_fails_twice 0 2 -- linux
expect_installed cmake
[ "$(grep -c 'update' "$last_state/log")" = 3 ] ||
    { echo "FAIL: update_fails_twice: $(grep -c update "$last_state/log") updates, expected 3"; failures=$((failures + 1)); }

run update_never_succeeds 0 always -- linux wine
expect_installed xvfb
expect_installed wine64

run wine32_cannot_be_installed 0 0 wine32 -- linux wine
expect_output "wine32 could not be installed"
expect_installed wine64
expect_installed libsndfile1-dev

run a_needed_package_cannot_be_installed 1 0 libsndfile1-dev -- linux
expect_output "libsndfile1-dev could not be installed"

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
