#!/usr/bin/env bash
# Checks the dynamic symbol table of the product library: the hosts see only
# the exported families and single functions, never the ODBC entry points of
# the driver manager it links, the C++ runtime's template code or the
# library's internal functions; the extended error accessors are there.
# Usage: check_exports.sh path/to/libzelinfsrvr81.so
set -euo pipefail
lib="$1"
symbols=$(nm -D --defined-only "$lib" | awk '{print $3}')
status=0
forbidden=$(grep -E '^(SQL|_Z|db_|sql_|S_)' <<<"$symbols" || true)
if [ -n "$forbidden" ]; then
    echo "symbols that must stay hidden:"
    echo "$forbidden"
    status=1
fi
for name in DB_instance_get_xerr DB_instance_clear_xerr DB_stream_get_xerr DB_stream_clear_xerr; do
    if ! grep -qx "$name" <<<"$symbols"; then
        echo "missing export: $name"
        status=1
    fi
done
exit $status
