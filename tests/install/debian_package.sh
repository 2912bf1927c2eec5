#!/usr/bin/env bash
# Builds the Debian package into a scratch folder and checks what it holds, what it depends
# on, and that its trob runs from the unpacked tree with the packaged plug-in.
# Usage: debian_package.sh BUILD_DIR PACKAGE_FILE_NAME
set -euo pipefail
build=$1 name=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch" >"$scratch/cpack.log" 2>&1 ||
    fail "cpack failed: $(cat "$scratch/cpack.log")"
deb=$scratch/$name
[ -f "$deb" ] || fail "no $name; cpack made: $(ls "$scratch")"

files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $2, $6}' | sort)
expected="root/root ./usr/bin/trob
root/root ./usr/lib/vst/TROBEdit.so
root/root ./usr/share/doc/trobedit/README.md
root/root ./usr/share/doc/trobedit/copyright
root/root ./usr/share/doc/trobedit/trob.md
root/root ./usr/share/man/man1/trob.1.gz"
[ "$files" = "$expected" ] || fail "the package holds
$files
instead of
$expected"

[ "$(dpkg-deb -f "$deb" Package)" = trobedit ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Architecture)" = amd64 ] || fail "architecture"
depends=$(dpkg-deb -f "$deb" Depends)
for p in libc6 libstdc++6 libsndfile1 libfreetype6 libfontconfig1 libpng16-16 libx11-6 \
         libxext6 libasound2 fonts-liberation; do
    [[ ", $depends," == *", $p "* || ", $depends," == *", $p,"* ]] ||
        fail "Depends lacks $p: $depends"
done

dpkg-deb -x "$deb" "$scratch/root"
# Nothing in the packaged programs points back into this build tree.
if grep -q -F "$build/TROBEdit.so" "$scratch/root/usr/bin/trob"; then
    fail "the packaged trob names the build's plug-in $build/TROBEdit.so"
fi
if readelf -d "$scratch/root/usr/bin/trob" "$scratch/root/usr/lib/vst/TROBEdit.so" |
    grep -E 'RPATH|RUNPATH'; then
    fail "a packaged file keeps a library search path"
fi
cd "$scratch"
LD_DEBUG=files "$scratch/root/usr/bin/trob" analyse >/dev/null 2>loader.txt ||
    fail "the packaged trob failed: $(grep -v '^ *[0-9]*:' loader.txt)"
grep -q "file=$scratch/root/usr/lib/vst/TROBEdit.so .*dynamically loaded" loader.txt ||
    fail "the packaged trob did not load the packaged plug-in"
echo "$name: $(echo "$files" | wc -l) files; Depends: $depends"
