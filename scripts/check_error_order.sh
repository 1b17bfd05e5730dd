#!/usr/bin/env bash
# Checks that the engine codes stay sorted by number: helpers that add codes
# on separate branches merge them line by line, and a sorted list is what
# makes a duplicate or a misplaced code visible in review.
# Usage: check_error_order.sh path/to/zel_errors.h
set -euo pipefail
awk '/^#define ZE_/ && $2 != "ZE_SP_OFFSET" {
         v = $3; gsub(/[()]/, "", v); sub(/\/\*.*/, "", v); v = (v < 0) ? -v : v
         if (v + 0 < last + 0) { print "out of order: " $0; bad = 1 }
         last = v
     }
     END { exit bad }' "$1"
