#!/usr/bin/env bash
# Checks the public headers: every .h under the source folders whose name does
# not end in _internal.h is public. Each one must compile on its own as C (and
# twice in one file, through its include guard) without defining any symbol
# (a variable declared without extern would give each host its own copy),
# must not include an internal header, and declares no function or variable
# that is not exported (a declaration at the start of a line that does not
# begin with ZEL_API or MOX_API).
# Usage: check_headers.sh SOURCE_ROOT C_COMPILER [INCLUDE_DIR...]
set -euo pipefail
root="$1"
cc="$2"
shift 2
includes=(-I "$root")
for dir in "$@"; do
    includes+=(-isystem "$dir")
done
folders=(base db server platform mox)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

status=0
count=0
while IFS= read -r header; do
    rel="${header#"$root"/}"
    count=$((count + 1))
    if grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"][^">]*_internal\.h[">]' "$header"; then
        echo "$rel: a public header includes an internal one"
        status=1
    fi
    if grep -nE '^([A-Za-z_][A-Za-z0-9_ *]*\(|extern [^"])' "$header" |
        grep -vE '^[0-9]+:(ZEL_API|MOX_API|typedef|extern "C"|extern (ZEL|MOX)_API)'; then
        echo "$rel: declares a function or variable that is not exported"
        status=1
    fi
    printf '#include "%s"\n#include "%s"\n' "$rel" "$rel" >"$work/probe.c"
    if ! "$cc" -std=c11 -c -Wall -Wextra -Werror "${includes[@]}" -x c "$work/probe.c" \
        -o "$work/probe.o" 2>"$work/errors"; then
        echo "$rel: does not compile on its own as C"
        cat "$work/errors"
        status=1
    elif [ -n "$(nm --defined-only "$work/probe.o")" ]; then
        echo "$rel: defines symbols when included:"
        nm --defined-only "$work/probe.o"
        status=1
    fi
done < <(for folder in "${folders[@]}"; do
    [ -d "$root/$folder" ] && find "$root/$folder" -name '*.h' ! -name '*_internal.h'
done | sort)

if [ "$count" -eq 0 ]; then
    echo "no public header found under $root"
    status=1
fi
echo "$count public headers checked"
exit $status
