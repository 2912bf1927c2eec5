#!/usr/bin/env bash
# Installs the build into a scratch prefix and runs the installed trob as a user would:
# without --plugin it must load the installed plug-in and no other, say which file it missed
# when that is gone, and --plugin must still name any other.
# Usage: installed_trob.sh BUILD_DIR BUILD_TROB BUILD_PLUGIN
set -euo pipefail
build=$1 build_trob=$2 build_plugin=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/trob lib/vst/TROBEdit.so share/man/man1/trob.1.gz share/doc/trobedit/README.md \
         share/doc/trobedit/copyright; do
    [ -f "$prefix/$f" ] || fail "$f not installed"
done
[ -x "$prefix/bin/trob" ] || fail "bin/trob is not executable"
gzip -t "$prefix/share/man/man1/trob.1.gz" || fail "the man page is not a gzip file"

# From an unrelated folder, so that nothing is found relative to the working directory.
cd "$scratch"
"$build_trob" analyse --json >expected.json
LD_DEBUG=files "$prefix/bin/trob" analyse --json >installed.json 2>loader.txt ||
    fail "the installed trob failed: $(grep -v '^ *[0-9]*:' loader.txt)"
cmp -s expected.json installed.json || fail "the installed trob prints other values than the build's"
grep -q "file=$prefix/lib/vst/TROBEdit.so .*dynamically loaded" loader.txt ||
    fail "the installed trob did not load $prefix/lib/vst/TROBEdit.so"

# Without the installed plug-in there is nothing to fall back on: not the build's, and not a
# library of that name the loader would find on its search path.
rm "$prefix/lib/vst/TROBEdit.so"
status=0
LD_LIBRARY_PATH=$(dirname "$build_plugin") "$prefix/bin/trob" analyse >/dev/null 2>missing.txt ||
    status=$?
[ "$status" -eq 1 ] || fail "trob without its plug-in exits with $status, not 1"
grep -q "$prefix/lib/vst/TROBEdit.so" missing.txt ||
    fail "the message does not name the missing file: $(cat missing.txt)"

"$prefix/bin/trob" analyse --json --plugin "$build_plugin" >override.json ||
    fail "--plugin did not load $build_plugin"
cmp -s expected.json override.json || fail "--plugin gives other values"
echo "installed trob loads $prefix/lib/vst/TROBEdit.so"
