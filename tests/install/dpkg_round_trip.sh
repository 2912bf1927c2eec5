#!/usr/bin/env bash
# The Debian package as a user meets it, on this machine and as root: `dpkg -i` (with
# apt-get pulling what it depends on), trob from /usr/bin loading /usr/lib/vst/TROBEdit.so,
# then `dpkg -r` and nothing of it left. Leaves alone a machine that has trobedit already.
# Usage: tests/install/dpkg_round_trip.sh BUILD_DIR
set -euo pipefail
build=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "installing a package needs root"
if dpkg-query -W trobedit >/dev/null 2>&1; then
    fail "dpkg knows trobedit on this machine already; not touching it"
fi

scratch=$(mktemp -d)
cleanup() {
    # Purged, not only removed: dpkg then forgets the package as if it had never been here.
    if dpkg-query -W trobedit >/dev/null 2>&1; then dpkg --purge trobedit >/dev/null || true; fi
    rm -rf "$scratch"
}
trap cleanup EXIT
vst_dir_existed=0
[ -d /usr/lib/vst ] && vst_dir_existed=1

t0=$SECONDS
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch" >"$scratch/cpack.log" 2>&1 ||
    fail "cpack failed: $(cat "$scratch/cpack.log")"
debs=("$scratch"/trobedit_*_amd64.deb)
deb=${debs[0]}
[ -f "$deb" ] || fail "cpack made no package"
mapfile -t files < <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print substr($6, 2)}')

echo "package built in $((SECONDS - t0)) s"
export DEBIAN_FRONTEND=noninteractive
if ! dpkg -i "$deb" >"$scratch/dpkg.log" 2>&1; then
    # Dependencies missing: dpkg leaves the package unconfigured, apt-get completes it.
    apt-get install -f -y -qq --no-install-recommends >>"$scratch/dpkg.log" 2>&1 ||
        fail "installing $deb failed: $(cat "$scratch/dpkg.log")"
fi
dpkg-query -W -f='${Status}' trobedit | grep -q 'install ok installed' ||
    fail "trobedit is not installed after dpkg -i"

echo "installed in $((SECONDS - t0)) s"
cd "$scratch"
LD_DEBUG=files /usr/bin/trob analyse >analyse.txt 2>loader.txt ||
    fail "/usr/bin/trob analyse failed: $(grep -v '^ *[0-9]*:' loader.txt)"
grep -q 'file=/usr/lib/vst/TROBEdit.so .*dynamically loaded' loader.txt ||
    fail "/usr/bin/trob did not load /usr/lib/vst/TROBEdit.so"
[ "$(grep -c ' kHz\| Hz' analyse.txt)" -ge 30 ] || fail "no band table: $(cat analyse.txt)"

dpkg -r trobedit >/dev/null
for f in "${files[@]}"; do
    [ ! -e "$f" ] || fail "$f is left after dpkg -r"
done
[ ! -e /usr/share/doc/trobedit ] || fail "/usr/share/doc/trobedit is left after dpkg -r"
[ "$vst_dir_existed" -eq 1 ] || [ ! -e /usr/lib/vst ] || fail "/usr/lib/vst is left after dpkg -r"
dpkg --purge trobedit >/dev/null
echo "$(basename "$deb"): installed, /usr/bin/trob loaded /usr/lib/vst/TROBEdit.so, removed"
