// Connection services the SQL builders of the layer, versioning and stream
// code call in passing.
#include "db/core/db_helpers.h"

#include <stdio.h>
#include <string.h>

#include <string>

#include "base/util/zel_errors.h"
#include "db/core/db_connect.h"
#include "db/core/db_instance_user.h"
#include "db/core/db_stmt.h"
#include "db/core/db_stream.h"

void db_commit_transaction(void) { db_commit(); }

void db_rollback_transaction(void) { db_rollback(); }

char *db_get_current_user(char *name) { return DB_instance_get_current_user(nullptr, name); }

void db_stream_copy_global_xerr(DB_STREAM *stream) {
  if (!stream) return;
  stream->xerr.code = db_global_xerr.code;
  stream->xerr.native_error = db_global_xerr.native_error;
  memcpy(stream->xerr.message, db_global_xerr.message, sizeof(stream->xerr.message));
  stream->xerr.message[sizeof(stream->xerr.message) - 1] = '\0';
  stream->xerr.text[0] = '\0';
}

int32_t db_grant_execute_routine(DB_INSTANCE *, const char *routine, int32_t kind,
                                 const char *grantee) {
  static const char *const kinds[] = {"FUNCTION", "SPECIFIC", "PROCEDURE", "ROUTINE"};
  if (kind < DB_ROUTINE_FUNCTION || kind > DB_ROUTINE_ROUTINE) return ZE_INVALID_ARGUMENT;
  if (!routine || !grantee) return ZE_NULL_POINTER;
  std::string sql = std::string("GRANT EXECUTE ON ") + kinds[kind - 1] + " " + routine + " TO " +
                    grantee;
  return db_execute_ddlsql(sql.c_str(), 1, 1);
}
