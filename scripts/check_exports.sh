#!/usr/bin/env bash
# Checks the dynamic symbol table of the product library: the hosts see only
# the exported families and single functions, never the ODBC entry points of
# the driver manager it links, the C++ runtime's template code or the
# library's internal functions; the extended error accessors, the connection
# and transaction entry points and the WHERE-clause helper are there.
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
required=(DB_instance_get_xerr DB_instance_clear_xerr DB_stream_get_xerr DB_stream_clear_xerr
          DB_init DB_connect DB_disconnect DB_database_use DB_database_get_current
          DB_database_list DB_trans_updt_start DB_trans_updt_commit DB_trans_updt_rollback
          DB_trans_def_start DB_trans_defwr_start DB_trans_def_commit DB_trans_user_start
          DB_trans_user_commit DB_trans_user_rollback DB_trans_set_autocommit
          DB_trans_auto_commit_control DB_trans_release_requests DB_trans_set_rollback_notifier
          DB_trans_set_compress_mode DB_sql_append_constraint
          DB_instance_stored_procedures_create CH_create CH_destroy CH_flush CH_read_command
          CH_write_command)
for name in "${required[@]}"; do
    if ! grep -qx "$name" <<<"$symbols"; then
        echo "missing export: $name"
        status=1
    fi
done
exit $status
