#!/usr/bin/env bash
# Checks that every C and C++ source of the tree is formatted as .clang-format
# says (clang-format --dry-run -Werror); names the files that are not. Fix
# them with: clang-format -i FILE...
# Usage: check_format.sh [SOURCE_ROOT]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
clang_format="${CLANG_FORMAT:-clang-format}"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    # Tracked files and new ones not ignored, as they are in the working tree.
    mapfile -t files < <(git ls-files --cached --others --exclude-standard -- \
        '*.c' '*.cpp' '*.h' | sort -u | while read -r f; do [ -f "$f" ] && echo "$f"; done)
else
    mapfile -t files < <(find . -path './build*' -prune -o \
        \( -name '*.c' -o -name '*.cpp' -o -name '*.h' \) -type f -print | sort)
fi
if [ ${#files[@]} -eq 0 ]; then
    echo "no source found"
    exit 1
fi
"$clang_format" --dry-run -Werror "${files[@]}"
echo "${#files[@]} sources formatted"
