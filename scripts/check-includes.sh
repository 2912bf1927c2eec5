#!/usr/bin/env bash
# Fails when a source includes a layer above its own. Usage: check-includes.sh [SOURCE_ROOT]
#
# Each rule: folder, then the folders its files must not include. The more specific folder
# comes first; a file follows the first rule whose folder holds it.
set -euo pipefail
root="${1:-$(dirname "$0")/..}"
cd "$root"

rules=(
    "host/gui_editor/:engine/ editor/ plugin/"
    "host/:engine/ toolkit/ platform/ editor/ plugin/"
    "engine/:toolkit/ platform/ editor/ plugin/"
    "platform/:host/ engine/ toolkit/ editor/ plugin/"
    "toolkit/:engine/ editor/ plugin/"
    "resources/:host/ engine/ toolkit/ platform/ editor/ plugin/"
    "editor/:engine/ plugin/"
)

failed=0
while IFS= read -r -d '' file; do
    forbidden=""
    for rule in "${rules[@]}"; do
        folder="${rule%%:*}"
        if [[ "$file" == "$folder"* ]]; then
            forbidden="${rule#*:}"
            break
        fi
    done
    while IFS= read -r line; do
        number="${line%%:*}"
        target="$(sed -E 's/^[^"]*"([^"]*)".*/\1/' <<<"${line#*:}")"
        if [[ "$target" == *..* ]]; then
            echo "$file:$number: includes \"$target\": includes name their file from the source root, without '..'" >&2
            failed=1
            continue
        fi
        for layer in $forbidden; do
            if [[ "$target" == "$layer"* ]]; then
                echo "$file:$number: includes \"$target\": ${file%%/*}/ must not include ${layer}" >&2
                failed=1
            fi
        done
    done < <(grep -n -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" || true)
done < <(find host engine platform toolkit resources editor plugin \
              -type f \( -name '*.h' -o -name '*.cpp' \) -print0 2>/dev/null)

if [ "$failed" -ne 0 ]; then
    echo "check-includes: includes must run down the layers (see docs/architecture.md)" >&2
    exit 1
fi
