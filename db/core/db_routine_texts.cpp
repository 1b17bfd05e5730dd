// The SPL texts of the engine's stored routines, one table in creation order
// (db_routine_texts_internal.h). Rules the texts keep:
// - Routines that report a status start at 0 and map a fixed set of Informix
//   errors in an ON EXCEPTION block; engine codes carry the -20000 offset.
// - No parameter or local variable bears the name of a column the routine's
//   SQL uses (SPL would read the column as the variable); callers bind
//   parameters by position.
// - The state and version routines declare the connection globals through
//   ${GLOBALS}, so every routine gives each global the same default.
#include "db/core/db_routine_texts_internal.h"

#include <string.h>

#include <string>

#include "base/util/zel_errors.h"
#include "db/core/db_instance_user.h"
#include "db/core/db_names_internal.h"
#include "db/version/db_routine_internal.h"

// ---- connection globals and row types -------------------------------------------

static const char S_globals[] = R"(DEFINE GLOBAL C_zel_dba VARCHAR(128) DEFAULT '${DBA}';
  DEFINE GLOBAL C_base_state_id INTEGER DEFAULT 0;
  DEFINE GLOBAL C_state_is_open INTEGER DEFAULT 1;
  DEFINE GLOBAL C_state_is_closed INTEGER DEFAULT 2;
  DEFINE GLOBAL C_default_version VARCHAR(32) DEFAULT 'DEFAULT';
  DEFINE GLOBAL C_generate_unique_name INTEGER DEFAULT 1;
  DEFINE GLOBAL C_take_name_as_given INTEGER DEFAULT 2;
  DEFINE GLOBAL C_package_release INTEGER DEFAULT 1015;
  DEFINE GLOBAL G_zel_dba BOOLEAN DEFAULT 'f';
  DEFINE GLOBAL G_current_user VARCHAR(128) DEFAULT USER;
  DEFINE GLOBAL G_lineage_table CHAR(2048) DEFAULT NULL;
  DEFINE GLOBAL G_current_state_id INTEGER DEFAULT 0;
  DEFINE GLOBAL G_protected BOOLEAN DEFAULT 'f';
  DEFINE GLOBAL C_version_private INTEGER DEFAULT 0;
  DEFINE GLOBAL C_version_public INTEGER DEFAULT 1;
  DEFINE GLOBAL C_version_protected INTEGER DEFAULT 2;
  DEFINE GLOBAL VE_NO_PERMISSIONS INTEGER DEFAULT -20025;
  DEFINE GLOBAL VE_STATE_NOEXIST INTEGER DEFAULT -20172;
  DEFINE GLOBAL VE_INVALID_VERSION_NAME INTEGER DEFAULT -20171;
  DEFINE GLOBAL VE_VERSION_NOEXIST INTEGER DEFAULT -20126;
  DEFINE GLOBAL VE_VERSION_HAS_MOVED INTEGER DEFAULT -20174;
  DEFINE GLOBAL VE_VERSION_EXISTS INTEGER DEFAULT -20177;
  DEFINE GLOBAL VE_STATE_HAS_CHILDREN INTEGER DEFAULT -20175;
  DEFINE GLOBAL VE_STATE_USED_BY_VERSION INTEGER DEFAULT -20179;)";

const char db_version_info_type_text[] =
    "CREATE ROW TYPE version_info (NAME VARCHAR(64), OWNER VARCHAR(128) NOT NULL, "
    "STATUS INTEGER NOT NULL, STATE_ID INTEGER NOT NULL, DESCRIPTION VARCHAR(65), "
    "PARENT_NAME VARCHAR(128), PARENT_OWNER VARCHAR(32), "
    "CREATION_TIME DATETIME YEAR TO SECOND NOT NULL, VERSION_ID INTEGER NOT NULL, "
    "PARENT_VERSION_ID INTEGER)";

// ---- the routines -----------------------------------------------------------

// The state check of a current version: closed states and protected
// versions are not writable.
static const char S_writable_text[] = R"(CREATE FUNCTION ${NAME}(current_state_id INTEGER)
  RETURNING INTEGER, VARCHAR(255);
  ${GLOBALS}
  DEFINE writable INTEGER;
  DEFINE error_msg VARCHAR(255);
  DEFINE info state_info;
  DEFINE verdict INTEGER;
  LET writable = 1;
  LET error_msg = NULL;
  IF G_protected THEN
    RETURN VE_NO_PERMISSIONS, 'Version is protected and You are not the owner';
  END IF;
  CALL ${G_state_owner_cursor}(current_state_id) RETURNING info, verdict;
  IF verdict = VE_STATE_NOEXIST THEN
    RETURN VE_STATE_NOEXIST, 'State not found';
  END IF;
  IF verdict = VE_NO_PERMISSIONS THEN
    RETURN VE_NO_PERMISSIONS, 'Not owner of state';
  END IF;
  IF info.closing_time IS NOT NULL THEN
    LET writable = verdict;
    LET error_msg = 'State is closed';
  END IF;
  RETURN writable, error_msg;
END FUNCTION)";

// clang-format off
const DB_ROUTINE_TEXT db_routine_texts[DB_ROUTINE_COUNT] = {

// ---- release ----
{DB_ROUTINES_RELEASE, "release_procedure", -1,
R"(CREATE FUNCTION ${NAME}()
  RETURNING INTEGER;
  RETURN ${RELEASE};
END FUNCTION)"},

// ---- registrations ----
{DB_ROUTINES_REGISTRATIONS, "delete_registration", -1,
R"(CREATE FUNCTION ${NAME}(old_reg_idVAR INTEGER)
  RETURNING INTEGER;
  DEFINE sql_code INTEGER;
  DEFINE isam_code INTEGER;
  ON EXCEPTION IN (-266, -274) SET sql_code, isam_code
    IF sql_code = -266 THEN
      RETURN -20220;
    END IF;
    RETURN -20025;
  END EXCEPTION;
  DELETE FROM ${TABLE_REGISTRY} WHERE registration_id = old_reg_idVAR;
  RETURN 0;
END FUNCTION)"},

{DB_ROUTINES_REGISTRATIONS, "insert_registration", -1,
R"(CREATE FUNCTION ${NAME}(registration_idVAR INTEGER,
    database_nameVAR VARCHAR(32), table_nameVAR VARCHAR(128), ownerVAR VARCHAR(32),
    rowid_columnVAR VARCHAR(32), descriptionVAR VARCHAR(65), object_flagsVAR INTEGER,
    registration_dateVAR INTEGER, config_keywordVAR VARCHAR(32), minimum_idVAR INTEGER,
    imv_view_nameVAR VARCHAR(32))
  RETURNING INTEGER;
  DEFINE sql_code INTEGER;
  DEFINE isam_code INTEGER;
  ON EXCEPTION IN (-100, -275) SET sql_code, isam_code
    RETURN -20025;
  END EXCEPTION;
  INSERT INTO ${TABLE_REGISTRY} (registration_id, database_name, owner, table_name,
      rowid_column, description, object_flags, registration_date, config_keyword,
      minimum_id, imv_view_name)
    VALUES (registration_idVAR, database_nameVAR, ownerVAR, table_nameVAR, rowid_columnVAR,
      descriptionVAR, object_flagsVAR, registration_dateVAR, config_keywordVAR,
      minimum_idVAR, imv_view_nameVAR);
  RETURN 0;
END FUNCTION)"},

{DB_ROUTINES_REGISTRATIONS, "update_registration", -1,
R"(CREATE FUNCTION ${NAME}(registration_idVAR INTEGER,
    rowid_columnVAR VARCHAR(32), descriptionVAR VARCHAR(64), object_flagsVAR INTEGER,
    config_keywordVAR VARCHAR(32), minimum_idVAR INTEGER, imv_view_nameVAR VARCHAR(32))
  RETURNING INTEGER;
  DEFINE sql_code INTEGER;
  DEFINE isam_code INTEGER;
  ON EXCEPTION IN (-266, -273) SET sql_code, isam_code
    IF sql_code = -266 THEN
      RETURN -20220;
    END IF;
    RETURN -20025;
  END EXCEPTION;
  UPDATE ${TABLE_REGISTRY} SET rowid_column = rowid_columnVAR, description = descriptionVAR,
      object_flags = object_flagsVAR, config_keyword = config_keywordVAR,
      minimum_id = minimum_idVAR, imv_view_name = imv_view_nameVAR
    WHERE registration_id = registration_idVAR;
  RETURN 0;
END FUNCTION)"},

{DB_ROUTINES_REGISTRATIONS, "change_registration_table_name", -1,
R"(CREATE FUNCTION ${NAME}(new_table_nameVAR VARCHAR(128),
    wanted_reg_idVAR INTEGER)
  RETURNING INTEGER;
  DEFINE sql_code INTEGER;
  DEFINE isam_code INTEGER;
  ON EXCEPTION IN (-266, -273) SET sql_code, isam_code
    IF sql_code = -266 THEN
      RETURN -20220;
    END IF;
    RETURN -20025;
  END EXCEPTION;
  UPDATE ${TABLE_REGISTRY} SET table_name = new_table_nameVAR
    WHERE registration_id = wanted_reg_idVAR;
  RETURN 0;
END FUNCTION)"},

{DB_ROUTINES_REGISTRATIONS, "clear_registration_modified", -1,
R"(CREATE FUNCTION ${NAME}(reg_idVAR INTEGER)
  RETURNING INTEGER;
  DEFINE sql_code INTEGER;
  DEFINE isam_code INTEGER;
  ON EXCEPTION IN (-266, -274) SET sql_code, isam_code
    IF sql_code = -266 THEN
      RETURN -20220;
    END IF;
    RETURN -20025;
  END EXCEPTION;
  DELETE FROM ${MVTABLES_MODIFIED} WHERE registration_id = reg_idVAR;
  RETURN 0;
END FUNCTION)"},

// ---- states ----
{DB_ROUTINES_STATES, "create_global_and_types", -1,
R"(CREATE PROCEDURE ${NAME}()
  ${GLOBALS}
  CREATE ROW TYPE state_info (state_id INTEGER NOT NULL, owner VARCHAR(128),
    creation_time DATETIME YEAR TO SECOND NOT NULL, closing_time DATETIME YEAR TO SECOND,
    parent_state_id INTEGER NOT NULL, lineage_length INTEGER NOT NULL);
  CREATE ROW TYPE state_lineage_info (lineage CHAR(2048));
  IF LOWER(G_current_user) = C_zel_dba THEN
    LET G_zel_dba = 't';
  ELSE
    LET G_zel_dba = 'f';
  END IF;
  LET G_current_state_id = C_base_state_id;
END PROCEDURE)"},

{DB_ROUTINES_STATES, "L_state_user_can_modify", -1,
R"(CREATE FUNCTION ${NAME}(state_wanted_id INTEGER)
  RETURNING INTEGER, VARCHAR(255);
  ${GLOBALS}
  DEFINE found_owner VARCHAR(128);
  DEFINE found_closing DATETIME YEAR TO SECOND;
  LET found_owner = NULL;
  SELECT s.owner, s.closing_time INTO found_owner, found_closing
    FROM ${STATES} s WHERE s.state_id = state_wanted_id;
  IF found_owner IS NULL THEN
    RETURN VE_STATE_NOEXIST, 'State not Found';
  END IF;
  IF USER <> found_owner AND USER <> C_zel_dba THEN
    RETURN VE_NO_PERMISSIONS, 'No permission on State';
  END IF;
  RETURN 0, NULL;
END FUNCTION)"},

{DB_ROUTINES_STATES, "delete_state", -1,
R"(CREATE FUNCTION ${NAME}(state_list LIST(INTEGER NOT NULL))
  RETURNING INTEGER, VARCHAR(255);
  ${GLOBALS}
  DEFINE wanted_id INTEGER;
  DEFINE sql_code INTEGER;
  DEFINE error_msg VARCHAR(255);
  LET sql_code = 0;
  LET error_msg = NULL;
  FOREACH SELECT * INTO wanted_id FROM TABLE(state_list)
    CALL ${L_state_user_can_modify}(wanted_id) RETURNING sql_code, error_msg;
    IF sql_code <> 0 AND sql_code <> -27005 THEN
      RETURN sql_code, error_msg;
    END IF;
  END FOREACH;
  FOREACH SELECT * INTO wanted_id FROM TABLE(state_list)
    DELETE FROM ${STATES} WHERE state_id = wanted_id;
    DELETE /*+AVOID_FULL(${ADMIN_DB}:mvtables_modified)*/ FROM ${MVTABLES_MODIFIED}
      WHERE state_id = wanted_id;
  END FOREACH;
  RETURN sql_code, error_msg;
END FUNCTION)"},

{DB_ROUTINES_STATES, "insert_state", -1,
R"(CREATE FUNCTION ${NAME}(input_state_id INTEGER, parent_id INTEGER,
    open_or_closed INTEGER)
  RETURNING INTEGER, VARCHAR(255), INTEGER;
  ${GLOBALS}
  DEFINE new_state_id INTEGER;
  DEFINE new_creation DATETIME YEAR TO SECOND;
  DEFINE new_closing DATETIME YEAR TO SECOND;
  DEFINE ancestor_id INTEGER;
  DEFINE sql_code INTEGER;
  DEFINE isam_code INTEGER;
  ON EXCEPTION SET sql_code, isam_code
    IF sql_code = -391 THEN
      RETURN sql_code, 'Cannot insert a null into column', new_state_id;
    END IF;
    IF sql_code = -275 THEN
      RETURN VE_NO_PERMISSIONS, 'No INSERT permission', new_state_id;
    END IF;
    RETURN sql_code, NULL, new_state_id;
  END EXCEPTION;
  LET new_state_id = NULL;
  LET new_creation = CURRENT YEAR TO SECOND;
  IF open_or_closed = C_state_is_closed THEN
    LET new_closing = new_creation;
  ELSE
    LET new_closing = NULL;
  END IF;
  IF input_state_id <> 0 THEN
    SELECT MAX(state_id) + 1 INTO new_state_id FROM ${STATES};
  ELSE
    LET new_state_id = 0;
  END IF;
  INSERT INTO ${STATES} (state_id, owner, creation_time, closing_time, parent_state_id)
    VALUES (new_state_id, USER, new_creation, new_closing, parent_id);
  FOREACH SELECT lineage_id INTO ancestor_id FROM ${STATE_LINEAGES} WHERE state_id = parent_id
    INSERT INTO ${STATE_LINEAGES} (state_id, lineage_id) VALUES (new_state_id, ancestor_id);
  END FOREACH;
  INSERT INTO ${STATE_LINEAGES} (state_id, lineage_id) VALUES (new_state_id, new_state_id);
  RETURN 0, NULL, new_state_id;
END FUNCTION)"},

{DB_ROUTINES_STATES, "trim_state_lineage", -1,
R"(CREATE FUNCTION ${NAME}(high_state_id INTEGER, low_state_id INTEGER)
  RETURNING INTEGER, VARCHAR(255);
  ${GLOBALS}
  DEFINE sql_code INTEGER;
  DEFINE isam_code INTEGER;
  DEFINE error_msg VARCHAR(255);
  DEFINE low_parent_id INTEGER;
  CALL ${L_state_user_can_modify}(high_state_id) RETURNING sql_code, error_msg;
  IF sql_code <> 0 THEN
    RETURN sql_code, error_msg;
  END IF;
  IF low_state_id = C_base_state_id THEN
    DELETE FROM ${MVTABLES_MODIFIED} WHERE state_id = high_state_id;
    DELETE FROM ${STATE_LINEAGES} WHERE state_id = high_state_id;
    BEGIN
      ON EXCEPTION SET sql_code, isam_code
        IF isam_code <> -100 THEN
          RAISE EXCEPTION sql_code, isam_code;
        END IF;
      END EXCEPTION WITH RESUME;
      INSERT INTO ${STATE_LINEAGES} (state_id, lineage_id)
        VALUES (C_base_state_id, C_base_state_id);
      UPDATE ${STATES} SET state_id = C_base_state_id, parent_state_id = C_base_state_id,
          owner = C_zel_dba, closing_time = CURRENT YEAR TO SECOND
        WHERE state_id = high_state_id;
    END
    UPDATE ${STATES} SET parent_state_id = C_base_state_id
      WHERE parent_state_id = high_state_id;
    UPDATE ${VERSIONS} SET state_id = C_base_state_id WHERE state_id = high_state_id;
  ELSE
    LET low_parent_id = NULL;
    SELECT parent_state_id INTO low_parent_id FROM ${STATES} WHERE state_id = low_state_id;
    UPDATE ${STATES} SET parent_state_id = low_parent_id WHERE state_id = high_state_id;
  END IF;
  RETURN 0, NULL;
END FUNCTION)"},

{DB_ROUTINES_STATES, "open_state", -1,
R"(CREATE FUNCTION ${NAME}(open_state_id INTEGER)
  RETURNING INTEGER, VARCHAR(255);
  ${GLOBALS}
  DEFINE sql_code INTEGER;
  DEFINE error_msg VARCHAR(255);
  CALL ${L_state_user_can_modify}(open_state_id) RETURNING sql_code, error_msg;
  IF sql_code = 0 THEN
    UPDATE ${STATES} SET closing_time = NULL WHERE state_id = open_state_id;
  END IF;
  RETURN sql_code, error_msg;
END FUNCTION)"},

{DB_ROUTINES_STATES, "close_state", -1,
R"(CREATE FUNCTION ${NAME}(close_state_id INTEGER)
  RETURNING INTEGER, VARCHAR(255);
  ${GLOBALS}
  DEFINE sql_code INTEGER;
  DEFINE error_msg VARCHAR(255);
  CALL ${L_state_user_can_modify}(close_state_id) RETURNING sql_code, error_msg;
  IF sql_code = 0 THEN
    UPDATE ${STATES} SET closing_time = CURRENT YEAR TO SECOND WHERE state_id = close_state_id;
  END IF;
  RETURN sql_code, error_msg;
END FUNCTION)"},

{DB_ROUTINES_STATES, "current_state", -1,
R"(CREATE FUNCTION ${NAME}()
  RETURNING INTEGER;
  ${GLOBALS}
  RETURN G_current_state_id;
END FUNCTION)"},

{DB_ROUTINES_STATES, "L_set_base_state", -1,
R"(CREATE PROCEDURE ${NAME}()
  ${GLOBALS}
  IF G_lineage_table IS NOT NULL THEN
    LET G_lineage_table = VE_Lineage_Delete(G_lineage_table, NULL);
  END IF;
  LET G_lineage_table = VE_Lineage_Insert(G_lineage_table, C_base_state_id, 't');
  LET G_current_state_id = C_base_state_id;
END PROCEDURE)"},

{DB_ROUTINES_STATES, "G_state_owner_cursor", -1,
R"(CREATE FUNCTION ${NAME}(state_wanted_id INTEGER)
  RETURNING state_info, INTEGER;
  ${GLOBALS}
  DEFINE info state_info;
  DEFINE found_owner VARCHAR(128);
  DEFINE found_closing DATETIME YEAR TO SECOND;
  DEFINE found INTEGER;
  LET found = 0;
  LET info = ROW(state_wanted_id, NULL, CURRENT YEAR TO SECOND, NULL, 0, 0)::state_info;
  FOREACH SELECT owner, closing_time INTO found_owner, found_closing
      FROM ${STATES} WHERE state_id = state_wanted_id
    LET found = 1;
    LET info.owner = found_owner;
    LET info.closing_time = found_closing;
  END FOREACH;
  IF found = 0 THEN
    RETURN info, VE_STATE_NOEXIST;
  END IF;
  IF found_owner = C_zel_dba OR found_owner = USER THEN
    RETURN info, 1;
  END IF;
  RETURN info, NULL;
END FUNCTION)"},

{DB_ROUTINES_STATES, "ZEL_startid_get", 6,
R"(CREATE FUNCTION ${NAME}()
  RETURNING INTEGER;
  DEFINE GLOBAL ZEL_global_startid INTEGER DEFAULT -1;
  RETURN ZEL_global_startid;
END FUNCTION)"},

{DB_ROUTINES_STATES, "ZEL_endid_get", 7,
R"(CREATE FUNCTION ${NAME}()
  RETURNING INTEGER;
  DEFINE GLOBAL ZEL_global_endid INTEGER DEFAULT -1;
  RETURN ZEL_global_endid;
END FUNCTION)"},

// ---- versions ----
// The descendant walk leaves the state itself out of its children: the base
// state is its own parent.
{DB_ROUTINES_VERSIONS, "state_tree_cursor", -1,
R"(CREATE FUNCTION ${NAME}(start_state INTEGER, is_descendent BOOLEAN)
  RETURNING INTEGER, INTEGER, VARCHAR(128);
  DEFINE row_state INTEGER;
  DEFINE row_parent INTEGER;
  DEFINE row_owner VARCHAR(128);
  DEFINE child_state INTEGER;
  DEFINE sub_state INTEGER;
  DEFINE sub_parent INTEGER;
  DEFINE sub_owner VARCHAR(128);
  IF is_descendent THEN
    FOREACH SELECT state_id, parent_state_id, owner INTO row_state, row_parent, row_owner
        FROM ${STATES} WHERE state_id = start_state
      RETURN row_state, row_parent, row_owner WITH RESUME;
    END FOREACH;
    FOREACH SELECT state_id INTO child_state FROM ${STATES}
        WHERE parent_state_id = start_state AND state_id <> start_state
      FOREACH EXECUTE FUNCTION ${NAME}(child_state, 't') INTO sub_state, sub_parent, sub_owner
        RETURN sub_state, sub_parent, sub_owner WITH RESUME;
      END FOREACH;
    END FOREACH;
  ELSE
    LET row_state = NULL;
    SELECT state_id, parent_state_id, owner INTO row_state, row_parent, row_owner
      FROM ${STATES} WHERE state_id = start_state;
    IF row_state IS NOT NULL AND row_state <> row_parent THEN
      RETURN row_state, row_parent, row_owner WITH RESUME;
      FOREACH EXECUTE FUNCTION ${NAME}(row_parent, 'f') INTO sub_state, sub_parent, sub_owner
        RETURN sub_state, sub_parent, sub_owner WITH RESUME;
      END FOREACH;
    END IF;
  END IF;
END FUNCTION)"},

{DB_ROUTINES_VERSIONS, "init_version_info", -1,
R"(CREATE FUNCTION ${NAME}()
  RETURNING version_info;
  ${GLOBALS}
  RETURN ROW(C_default_version, G_current_user, -1, -1, NULL, C_default_version, G_current_user,
    CURRENT YEAR TO SECOND, -1, -1)::version_info;
END FUNCTION)"},

{DB_ROUTINES_VERSIONS, "G_version_state_cursor", -1,
R"(CREATE FUNCTION ${NAME}(version_wanted_name VARCHAR(128),
    version_wanted_owner VARCHAR(128))
  RETURNING version_info, BOOLEAN;
  ${GLOBALS}
  DEFINE info version_info;
  DEFINE found_state INTEGER;
  DEFINE found_status INTEGER;
  CALL ${init_version_info}() RETURNING info;
  FOREACH SELECT state_id, status INTO found_state, found_status FROM ${VERSIONS}
      WHERE name = version_wanted_name AND owner = version_wanted_owner
    LET info.state_id = found_state;
    LET info.status = found_status;
  END FOREACH;
  IF info.state_id IS NOT NULL AND info.status IS NOT NULL THEN
    RETURN info, 't';
  END IF;
  RETURN info, 'f';
END FUNCTION)"},

// A database prefix is taken off first; what follows is owner.name or name.
{DB_ROUTINES_VERSIONS, "L_version_parse_name", -1,
R"(CREATE FUNCTION ${NAME}(version_name VARCHAR(255))
  RETURNING VARCHAR(128), VARCHAR(128), VARCHAR(128);
  DEFINE colon_at INTEGER;
  DEFINE dot_at INTEGER;
  DEFINE rest VARCHAR(255);
  DEFINE parsed_db VARCHAR(128);
  DEFINE parsed_owner VARCHAR(128);
  DEFINE parsed_name VARCHAR(128);
  LET parsed_db = NULL;
  LET rest = version_name;
  LET colon_at = VE_INSTR(version_name, ':');
  IF colon_at > 0 THEN
    LET parsed_db = SUBSTR(version_name, 1, colon_at - 1);
    LET rest = SUBSTR(version_name, colon_at + 1);
  END IF;
  LET dot_at = VE_INSTR(rest, '.');
  IF dot_at > 0 THEN
    LET parsed_owner = SUBSTR(rest, 1, dot_at - 1);
    LET parsed_name = SUBSTR(rest, dot_at + 1);
  ELSE
    LET parsed_owner = USER;
    LET parsed_name = rest;
  END IF;
  RETURN parsed_db, parsed_owner, parsed_name;
END FUNCTION)"},

{DB_ROUTINES_VERSIONS, "L_version_user_can_modify", -1,
R"(CREATE FUNCTION ${NAME}(version_name VARCHAR(128))
  RETURNING version_info, INTEGER;
  ${GLOBALS}
  DEFINE info version_info;
  DEFINE parsed_db VARCHAR(128);
  DEFINE parsed_owner VARCHAR(128);
  DEFINE parsed_name VARCHAR(128);
  DEFINE f_name VARCHAR(64);
  DEFINE f_owner VARCHAR(128);
  DEFINE f_status INTEGER;
  DEFINE f_state INTEGER;
  DEFINE f_description VARCHAR(65);
  DEFINE f_parent_name VARCHAR(128);
  DEFINE f_parent_owner VARCHAR(32);
  DEFINE f_creation DATETIME YEAR TO SECOND;
  DEFINE f_version INTEGER;
  DEFINE f_parent_version INTEGER;
  CALL ${init_version_info}() RETURNING info;
  CALL ${L_version_parse_name}(version_name) RETURNING parsed_db, parsed_owner, parsed_name;
  IF parsed_name = C_default_version AND LOWER(parsed_owner) = C_zel_dba THEN
    RETURN info, 2;
  END IF;
  IF LOWER(USER) <> C_zel_dba AND USER <> parsed_owner THEN
    RETURN info, 3;
  END IF;
  FOREACH SELECT name, owner, status, state_id, description, parent_name, parent_owner,
        creation_time, version_id, parent_version_id
      INTO f_name, f_owner, f_status, f_state, f_description, f_parent_name, f_parent_owner,
        f_creation, f_version, f_parent_version
      FROM ${VERSIONS} WHERE name = parsed_name AND owner = parsed_owner
    LET info = ROW(f_name, f_owner, f_status, f_state, f_description, f_parent_name,
      f_parent_owner, f_creation, f_version, f_parent_version)::version_info;
  END FOREACH;
  IF info.state_id <> -1 AND info.status <> -1 THEN
    RETURN info, 1;
  END IF;
  RETURN info, 0;
END FUNCTION)"},

{DB_ROUTINES_VERSIONS, "delete_version", -1,
R"(CREATE FUNCTION ${NAME}(version_name VARCHAR(128))
  RETURNING INTEGER, VARCHAR(255);
  ${GLOBALS}
  DEFINE info version_info;
  DEFINE verdict INTEGER;
  DEFINE found_name VARCHAR(64);
  DEFINE found_owner VARCHAR(128);
  DEFINE children INTEGER;
  CALL ${L_version_user_can_modify}(version_name) RETURNING info, verdict;
  IF verdict = 2 THEN
    RETURN VE_NO_PERMISSIONS, 'No permission to delete the DEFAULT version.';
  END IF;
  IF verdict = 3 THEN
    RETURN VE_NO_PERMISSIONS, 'Not a DBA or the owner of the current version.';
  END IF;
  IF verdict = 0 THEN
    RETURN VE_VERSION_NOEXIST, 'Version' || version_name || 'does not exists.';
  END IF;
  LET found_name = info.name;
  LET found_owner = info.owner;
  SELECT COUNT(*) INTO children FROM ${VERSIONS}
    WHERE parent_name = found_name AND parent_owner = found_owner;
  IF children > 0 THEN
    RETURN -175, 'Version can not be deleted as it has children';
  END IF;
  DELETE FROM ${VERSIONS} WHERE name = found_name AND owner = found_owner;
  RETURN 0, NULL;
END FUNCTION)"},

// With the unique-name rule a taken name gets a counter appended and the
// insert is tried again until a free name is stored. A duplicate of anything
// but the name ends the loop: no suffix can cure it.
{DB_ROUTINES_VERSIONS, "insert_version", -1,
R"(CREATE FUNCTION ${NAME}(version_name VARCHAR(64), version_status INTEGER,
    new_version_id INTEGER, version_state_id INTEGER, version_description VARCHAR(65),
    version_parent_name VARCHAR(128), version_parent_owner VARCHAR(32),
    new_parent_version_id INTEGER, name_rule INTEGER)
  RETURNING INTEGER, VARCHAR(255), CHAR(128);
  ${GLOBALS}
  DEFINE sql_code INTEGER;
  DEFINE isam_code INTEGER;
  DEFINE used_name VARCHAR(128);
  DEFINE suffix INTEGER;
  DEFINE stored BOOLEAN;
  DEFINE taken INTEGER;
  LET used_name = version_name;
  LET suffix = 0;
  LET stored = 'f';
  WHILE stored = 'f'
    BEGIN
      ON EXCEPTION SET sql_code, isam_code
        IF sql_code <> -239 AND sql_code <> -268 THEN
          RETURN sql_code, 'Failed to insert', used_name;
        END IF;
        IF name_rule = C_take_name_as_given THEN
          RETURN VE_VERSION_EXISTS, 'Version already exists', used_name;
        END IF;
        SELECT COUNT(*) INTO taken FROM ${VERSIONS} WHERE name = used_name AND owner = USER;
        IF taken = 0 THEN
          RETURN sql_code, 'Failed to insert', used_name;
        END IF;
        LET suffix = suffix + 1;
        LET used_name = VE_STRINGCAT(VE_Rtrim(version_name), VE_ToChar(suffix));
        IF LENGTH(used_name) > 64 THEN
          RETURN VE_INVALID_VERSION_NAME, 'Unable to generate a name', used_name;
        END IF;
      END EXCEPTION;
      INSERT INTO ${VERSIONS} (name, owner, version_id, status, state_id, description,
          parent_name, parent_owner, parent_version_id, creation_time)
        VALUES (used_name, USER, new_version_id, version_status, version_state_id,
          version_description, version_parent_name, version_parent_owner,
          new_parent_version_id, CURRENT YEAR TO SECOND);
      LET stored = 't';
    END
  END WHILE;
  RETURN 0, NULL, used_name;
END FUNCTION)"},

// A version that no row matches is reported, not updated silently.
{DB_ROUTINES_VERSIONS, "update_version", -1,
R"(CREATE FUNCTION ${NAME}(new_version version_info)
  RETURNING INTEGER, VARCHAR(255);
  ${GLOBALS}
  DEFINE wanted_name VARCHAR(64);
  DEFINE wanted_owner VARCHAR(128);
  DEFINE new_status INTEGER;
  DEFINE new_description VARCHAR(65);
  DEFINE found_id INTEGER;
  DEFINE found INTEGER;
  DEFINE sql_code INTEGER;
  DEFINE isam_code INTEGER;
  ON EXCEPTION SET sql_code, isam_code
    IF sql_code = -391 THEN
      RETURN sql_code, ' Cannot insert a null into column ';
    END IF;
    RETURN sql_code, 'Unexpected error happen, Failed to Insert.';
  END EXCEPTION;
  LET wanted_name = new_version.name;
  LET wanted_owner = new_version.owner;
  LET new_status = new_version.status;
  LET new_description = new_version.description;
  IF wanted_owner <> USER AND wanted_owner <> C_zel_dba THEN
    RETURN VE_NO_PERMISSIONS, 'Not owner of the version';
  END IF;
  LET found = 0;
  FOREACH SELECT version_id INTO found_id FROM ${VERSIONS}
      WHERE owner = wanted_owner AND name = wanted_name
    IF found_id IS NULL THEN
      RETURN VE_VERSION_NOEXIST, 'Verion not found ';
    END IF;
    LET found = 1;
  END FOREACH;
  IF found = 0 THEN
    RETURN VE_VERSION_NOEXIST, 'Verion not found ';
  END IF;
  UPDATE ${VERSIONS} SET status = new_status, description = new_description
    WHERE owner = wanted_owner AND name = wanted_name;
  RETURN 0, NULL;
END FUNCTION)"},

// The rows renamed are those of the name the permission check parsed.
{DB_ROUTINES_VERSIONS, "rename_version", -1,
R"(CREATE FUNCTION ${NAME}(input_owner VARCHAR(128), old_name VARCHAR(128),
    new_name VARCHAR(128))
  RETURNING INTEGER, VARCHAR(255);
  ${GLOBALS}
  DEFINE info version_info;
  DEFINE verdict INTEGER;
  DEFINE parsed_db VARCHAR(128);
  DEFINE parsed_owner VARCHAR(128);
  DEFINE parsed_name VARCHAR(128);
  DEFINE full_name VARCHAR(255);
  DEFINE sql_code INTEGER;
  DEFINE isam_code INTEGER;
  ON EXCEPTION IN (-239, -268) SET sql_code, isam_code
    RETURN VE_VERSION_EXISTS, 'A version named ' || new_name || 'already existed';
  END EXCEPTION;
  CALL ${L_version_parse_name}(old_name) RETURNING parsed_db, parsed_owner, parsed_name;
  LET full_name = input_owner || '.' || parsed_name;
  CALL ${L_version_user_can_modify}(full_name) RETURNING info, verdict;
  IF verdict = 2 THEN
    RETURN VE_NO_PERMISSIONS, 'No permission to rename the DEFAULT version.';
  END IF;
  IF verdict = 3 THEN
    RETURN VE_NO_PERMISSIONS, 'Not a DBA or the owner of the current version.';
  END IF;
  IF verdict = 0 THEN
    RETURN VE_VERSION_NOEXIST, 'Version' || full_name || 'does not exists.';
  END IF;
  UPDATE ${VERSIONS} SET name = new_name WHERE name = parsed_name AND owner = input_owner;
  UPDATE ${VERSIONS} SET parent_name = new_name
    WHERE parent_name = parsed_name AND parent_owner = input_owner;
  RETURN 0, NULL;
END FUNCTION)"},

// A version that no longer stands on the old state was moved by someone
// else: that is reported, never overwritten or ignored.
{DB_ROUTINES_VERSIONS, "change_version_state", -1,
R"(CREATE FUNCTION ${NAME}(version_name VARCHAR(255), old_state_id INTEGER,
    new_state_id INTEGER)
  RETURNING INTEGER, VARCHAR(255);
  ${GLOBALS}
  DEFINE parsed_db VARCHAR(128);
  DEFINE parsed_owner VARCHAR(128);
  DEFINE parsed_name VARCHAR(128);
  DEFINE moved INTEGER;
  DEFINE found INTEGER;
  DEFINE sql_code INTEGER;
  DEFINE isam_code INTEGER;
  CALL ${L_version_parse_name}(version_name) RETURNING parsed_db, parsed_owner, parsed_name;
  BEGIN
    ON EXCEPTION SET sql_code, isam_code
      RETURN VE_VERSION_HAS_MOVED, 'Version has been moved. ';
    END EXCEPTION;
    UPDATE ${VERSIONS} SET state_id = new_state_id
      WHERE name = parsed_name AND owner = parsed_owner AND state_id = old_state_id;
    LET moved = DBINFO('sqlca.sqlerrd2');
  END
  SELECT COUNT(*) INTO found FROM ${VERSIONS} WHERE name = parsed_name AND owner = parsed_owner;
  IF moved > 0 THEN
    RETURN 0, NULL;
  END IF;
  IF found = 0 THEN
    RETURN VE_VERSION_NOEXIST, 'Version' || version_name || 'not found';
  END IF;
  RETURN VE_VERSION_HAS_MOVED, 'Version has been moved. ';
END FUNCTION)"},

// current_version_writable and in_current_lineage run one text.
{DB_ROUTINES_VERSIONS, "current_version_writable", -1, S_writable_text},

{DB_ROUTINES_VERSIONS, "in_current_lineage", -1, S_writable_text},

// Every path returns its pair, also those that move the current state.
{DB_ROUTINES_VERSIONS, "set_current_version", -1,
R"(CREATE FUNCTION ${NAME}(version_name VARCHAR(128))
  RETURNING INTEGER, VARCHAR(255);
  ${GLOBALS}
  DEFINE parsed_db VARCHAR(128);
  DEFINE parsed_owner VARCHAR(128);
  DEFINE parsed_name VARCHAR(128);
  DEFINE info version_info;
  DEFINE has_row BOOLEAN;
  DEFINE access_level INTEGER;
  DEFINE target_state INTEGER;
  DEFINE first_row BOOLEAN;
  DEFINE walk_state INTEGER;
  DEFINE walk_parent INTEGER;
  DEFINE walk_owner VARCHAR(128);
  CALL ${L_version_parse_name}(version_name) RETURNING parsed_db, parsed_owner, parsed_name;
  CALL ${G_version_state_cursor}(parsed_name, parsed_owner) RETURNING info, has_row;
  LET target_state = info.state_id;
  LET access_level = MOD(info.status, 4);
  IF access_level = C_version_private THEN
    IF NOT G_zel_dba AND G_current_user <> parsed_owner THEN
      RETURN VE_NO_PERMISSIONS, G_current_user || 'Not owner of Version ' || version_name;
    END IF;
    LET G_protected = 'f';
  ELIF access_level = C_version_protected THEN
    IF LOWER(G_current_user) <> C_zel_dba AND G_current_user <> parsed_owner THEN
      LET G_protected = 't';
    ELSE
      LET G_protected = 'f';
    END IF;
  ELSE
    LET G_protected = 'f';
  END IF;
  IF target_state = G_current_state_id THEN
    RETURN 0, NULL;
  END IF;
  IF target_state = C_base_state_id THEN
    CALL ${L_set_base_state}();
    RETURN 0, NULL;
  END IF;
  LET first_row = 't';
  FOREACH EXECUTE FUNCTION ${state_tree_cursor}(target_state, 'f')
      INTO walk_state, walk_parent, walk_owner
    IF first_row THEN
      LET G_lineage_table = VE_Lineage_Delete(G_lineage_table, NULL);
      LET G_current_state_id = target_state;
      LET first_row = 'f';
    END IF;
    LET G_lineage_table = VE_Lineage_Insert(G_lineage_table, walk_state, 't');
  END FOREACH;
  IF first_row THEN
    LET G_lineage_table = VE_Lineage_Insert(G_lineage_table, target_state, 't');
    RETURN VE_STATE_NOEXIST, 'State' || VE_ToChar(target_state) || 'not found';
  END IF;
  RETURN 0, NULL;
END FUNCTION)"},

{DB_ROUTINES_VERSIONS, "flag_mvtable_modified", -1,
R"(CREATE FUNCTION ${NAME}(mvtable_id INTEGER, modified_state_id INTEGER)
  RETURNING INTEGER, VARCHAR(255);
  ${GLOBALS}
  DEFINE sql_code INTEGER;
  DEFINE isam_code INTEGER;
  ON EXCEPTION SET sql_code, isam_code
    IF sql_code = -391 THEN
      RETURN sql_code, 'Cannot insert a null into column';
    END IF;
    IF sql_code = -275 THEN
      RETURN VE_NO_PERMISSIONS, 'No INSERT permission';
    END IF;
    RETURN sql_code, NULL;
  END EXCEPTION;
  INSERT INTO ${MVTABLES_MODIFIED} (state_id, registration_id)
    VALUES (modified_state_id, mvtable_id);
  RETURN 0, NULL;
END FUNCTION)"},

{DB_ROUTINES_VERSIONS, "range_delete_ok", -1,
R"(CREATE FUNCTION ${NAME}(start_state INTEGER, end_state INTEGER)
  RETURNING INTEGER, VARCHAR(255);
  ${GLOBALS}
  DEFINE walk_state INTEGER;
  DEFINE walk_parent INTEGER;
  DEFINE walk_owner VARCHAR(128);
  DEFINE last_parent INTEGER;
  DEFINE start_found BOOLEAN;
  DEFINE end_found BOOLEAN;
  DEFINE users INTEGER;
  LET last_parent = -1;
  LET start_found = 'f';
  LET end_found = 'f';
  FOREACH EXECUTE FUNCTION ${state_tree_cursor}(start_state, 't')
      INTO walk_state, walk_parent, walk_owner
    LET start_found = 't';
    IF walk_parent = last_parent THEN
      RETURN VE_STATE_HAS_CHILDREN, 'End State may not have children.';
    END IF;
    LET last_parent = walk_parent;
    IF end_found THEN
      RETURN VE_STATE_HAS_CHILDREN, 'End State may not have children.';
    END IF;
    IF walk_state = end_state THEN
      LET end_found = 't';
    END IF;
    IF NOT G_zel_dba AND walk_owner <> G_current_user THEN
      RETURN VE_NO_PERMISSIONS, VE_STRINGCAT('Not owner of state', 'TRUE');
    END IF;
    SELECT COUNT(*) INTO users FROM ${VERSIONS} WHERE state_id = walk_state;
    IF users > 0 THEN
      RETURN VE_STATE_USED_BY_VERSION, VE_STRINGCAT('State', 'is used by version');
    END IF;
  END FOREACH;
  IF NOT start_found OR NOT end_found THEN
    RETURN VE_STATE_NOEXIST, 'Start or End stare is missing.';
  END IF;
  RETURN 0, NULL;
END FUNCTION)"},

// ---- spatial references ----
{DB_ROUTINES_SPATIAL_REFERENCES, "delete_spatial_references", -1,
R"(CREATE FUNCTION ${NAME}(old_sref_idVAR INTEGER)
  RETURNING INTEGER;
  DEFINE sql_code INTEGER;
  DEFINE isam_code INTEGER;
  ON EXCEPTION IN (-274) SET sql_code, isam_code
    RETURN -20025;
  END EXCEPTION;
  DELETE FROM ${SPATIAL_REFERENCES} WHERE srid = old_sref_idVAR;
  RETURN 0;
END FUNCTION)"},

{DB_ROUTINES_SPATIAL_REFERENCES, "insert_spatial_references", -1,
R"(CREATE FUNCTION ${NAME}(new_sridVAR INTEGER, new_falsexVAR FLOAT,
    new_falseyVAR FLOAT, new_xyunitsVAR FLOAT, new_falsezVAR FLOAT, new_zunitsVAR FLOAT,
    new_falsemVAR FLOAT, new_munitsVAR FLOAT, new_srtextVAR CHAR(2048),
    new_auth_nameVAR VARCHAR(255), new_auth_sridVAR INTEGER)
  RETURNING INTEGER;
  DEFINE sql_code INTEGER;
  DEFINE isam_code INTEGER;
  ON EXCEPTION IN (-100) SET sql_code, isam_code
    RETURN -20025;
  END EXCEPTION;
  INSERT INTO ${SPATIAL_REFERENCES} (srid, falsex, falsey, xyunits, falsez, zunits, falsem,
      munits, srtext, auth_name, auth_srid)
    VALUES (new_sridVAR, new_falsexVAR, new_falseyVAR, new_xyunitsVAR, new_falsezVAR,
      new_zunitsVAR, new_falsemVAR, new_munitsVAR, new_srtextVAR, new_auth_nameVAR,
      new_auth_sridVAR);
  RETURN 0;
END FUNCTION)"},

// Returns nothing: a refused update reaches the caller as the error -20025.
{DB_ROUTINES_SPATIAL_REFERENCES, "alter_spatial_references", -1,
R"(CREATE PROCEDURE ${NAME}(new_sridVAR INTEGER, new_falsexVAR FLOAT,
    new_falseyVAR FLOAT, new_xyunitsVAR FLOAT, new_falsezVAR FLOAT, new_zunitsVAR FLOAT,
    new_falsemVAR FLOAT, new_munitsVAR FLOAT, new_srtextVAR CHAR(2048),
    new_auth_nameVAR VARCHAR(255), new_auth_sridVAR INTEGER)
  DEFINE sql_code INTEGER;
  DEFINE isam_code INTEGER;
  ON EXCEPTION IN (-273) SET sql_code, isam_code
    RAISE EXCEPTION -20025, isam_code;
  END EXCEPTION;
  UPDATE ${SPATIAL_REFERENCES} SET falsex = new_falsexVAR, falsey = new_falseyVAR,
      xyunits = new_xyunitsVAR, falsez = new_falsezVAR, zunits = new_zunitsVAR,
      falsem = new_falsemVAR, munits = new_munitsVAR, srtext = new_srtextVAR,
      auth_name = new_auth_nameVAR, auth_srid = new_auth_sridVAR
    WHERE srid = new_sridVAR;
END PROCEDURE)"},

{DB_ROUTINES_SPATIAL_REFERENCES, "lock_spatial_references", -1,
R"(CREATE PROCEDURE ${NAME}()
  LOCK TABLE ${SPATIAL_REFERENCES} IN EXCLUSIVE MODE;
END PROCEDURE)"},

{DB_ROUTINES_SPATIAL_REFERENCES, "check_spid", -1,
R"(CREATE FUNCTION ${NAME}(ck_sridVAR INTEGER)
  RETURNING INTEGER;
  DEFINE found INTEGER;
  SELECT COUNT(*) INTO found FROM ${SPATIAL_REFERENCES} WHERE srid = ck_sridVAR;
  IF found > 0 THEN
    RETURN 0;
  END IF;
  RETURN 20020;
END FUNCTION)"},

// ---- layers ----
// A LAYERS row that cannot be inserted takes its GEOMETRY_COLUMNS row with
// it, whichever error refused it.
{DB_ROUTINES_LAYERS, "insert_layer", -1,
R"(CREATE FUNCTION ${NAME}(layer_idVAR INTEGER, descriptionVAR VARCHAR(65),
    database_nameVAR VARCHAR(32), ownerVAR VARCHAR(32), table_nameVAR VARCHAR(128),
    spatial_columnVAR VARCHAR(128), eflagsVAR INTEGER, layer_maskVAR INTEGER, minxVAR FLOAT,
    minyVAR FLOAT, maxxVAR FLOAT, maxyVAR FLOAT, cdateVAR INTEGER, layer_configVAR VARCHAR(32),
    optimal_array_sizeVAR INTEGER, stats_dateVAR INTEGER, minimum_idVAR INTEGER,
    sridVAR INTEGER, base_layer_idVAR INTEGER, geo_typeVAR INTEGER)
  RETURNING INTEGER;
  DEFINE sql_code INTEGER;
  DEFINE isam_code INTEGER;
  BEGIN
    ON EXCEPTION SET sql_code, isam_code
      IF sql_code = -100 THEN
        RAISE EXCEPTION sql_code, isam_code;
      END IF;
      IF sql_code = -275 THEN
        RETURN -20025;
      END IF;
      RETURN sql_code;
    END EXCEPTION;
    INSERT INTO ${GEOMETRY_COLUMNS} (f_table_catalog, f_table_schema, f_table_name,
        f_geometry_column, geometry_type, srid)
      VALUES (database_nameVAR, ownerVAR, table_nameVAR, spatial_columnVAR, geo_typeVAR,
        sridVAR);
  END
  BEGIN
    ON EXCEPTION SET sql_code, isam_code
      DELETE FROM ${GEOMETRY_COLUMNS}
        WHERE f_table_catalog = database_nameVAR AND f_table_schema = ownerVAR
          AND f_table_name = table_nameVAR AND f_geometry_column = spatial_columnVAR;
      IF sql_code = -100 THEN
        RAISE EXCEPTION sql_code, isam_code;
      END IF;
      IF sql_code = -275 THEN
        RETURN -20025;
      END IF;
      RETURN sql_code;
    END EXCEPTION;
    INSERT INTO ${LAYERS} (layer_id, description, database_name, owner, table_name,
        spatial_column, eflags, layer_mask, minx, miny, maxx, maxy, cdate, layer_config,
        optimal_array_size, stats_date, minimum_id, srid, base_layer_id)
      VALUES (layer_idVAR, descriptionVAR, database_nameVAR, ownerVAR, table_nameVAR,
        spatial_columnVAR, eflagsVAR, layer_maskVAR, minxVAR, minyVAR, maxxVAR, maxyVAR,
        cdateVAR, layer_configVAR, optimal_array_sizeVAR, stats_dateVAR, minimum_idVAR,
        sridVAR, base_layer_idVAR);
  END
  RETURN 0;
END FUNCTION)"},

{DB_ROUTINES_LAYERS, "delete_layer", -1,
R"(CREATE FUNCTION ${NAME}(old_layer_idVAR INTEGER)
  RETURNING INTEGER;
  DEFINE layer_owner VARCHAR(32);
  DEFINE layer_table VARCHAR(128);
  DEFINE layer_column VARCHAR(128);
  DEFINE sql_code INTEGER;
  DEFINE isam_code INTEGER;
  ON EXCEPTION IN (-274) SET sql_code, isam_code
    RETURN -20025;
  END EXCEPTION;
  LET layer_owner = NULL;
  LET layer_table = NULL;
  LET layer_column = NULL;
  SELECT owner, table_name, spatial_column INTO layer_owner, layer_table, layer_column
    FROM ${LAYERS} WHERE layer_id = old_layer_idVAR;
  DELETE FROM ${LAYERS} WHERE layer_id = old_layer_idVAR;
  DELETE FROM ${GEOMETRY_COLUMNS} WHERE f_table_schema = layer_owner
    AND f_table_name = layer_table AND f_geometry_column = layer_column;
  RETURN 0;
END FUNCTION)"},

{DB_ROUTINES_LAYERS, "update_layer", -1,
R"(CREATE FUNCTION ${NAME}(layer_idVAR INTEGER, descriptionVAR VARCHAR(65),
    eflagsVAR INTEGER, layer_maskVAR INTEGER, minxVAR FLOAT, minyVAR FLOAT, maxxVAR FLOAT,
    maxyVAR FLOAT, layer_configVAR VARCHAR(32), optimal_array_sizeVAR INTEGER,
    stats_dateVAR INTEGER, minimum_idVAR INTEGER)
  RETURNING INTEGER;
  DEFINE sql_code INTEGER;
  DEFINE isam_code INTEGER;
  ON EXCEPTION IN (-266, -273) SET sql_code, isam_code
    IF sql_code = -266 THEN
      RETURN -20220;
    END IF;
    RETURN -20025;
  END EXCEPTION;
  UPDATE ${LAYERS} SET description = descriptionVAR, eflags = eflagsVAR,
      layer_mask = layer_maskVAR, minx = minxVAR, miny = minyVAR, maxx = maxxVAR,
      maxy = maxyVAR, layer_config = layer_configVAR, optimal_array_size = optimal_array_sizeVAR,
      stats_date = stats_dateVAR, minimum_id = minimum_idVAR
    WHERE layer_id = layer_idVAR;
  RETURN 0;
END FUNCTION)"},

{DB_ROUTINES_LAYERS, "update_layer_extent", -1,
R"(CREATE FUNCTION ${NAME}(wanted_layer_idVAR INTEGER, new_minxVAR FLOAT,
    new_minyVAR FLOAT, new_maxxVAR FLOAT, new_maxyVAR FLOAT)
  RETURNING INTEGER;
  DEFINE stored_minx FLOAT;
  DEFINE stored_miny FLOAT;
  DEFINE stored_maxx FLOAT;
  DEFINE stored_maxy FLOAT;
  DEFINE sql_code INTEGER;
  DEFINE isam_code INTEGER;
  ON EXCEPTION IN (-273) SET sql_code, isam_code
    RETURN -20025;
  END EXCEPTION;
  LET stored_minx = NULL;
  LET stored_miny = NULL;
  LET stored_maxx = NULL;
  LET stored_maxy = NULL;
  SELECT minx, miny, maxx, maxy INTO stored_minx, stored_miny, stored_maxx, stored_maxy
    FROM ${LAYERS} WHERE layer_id = wanted_layer_idVAR;
  IF new_minxVAR < stored_minx THEN
    LET stored_minx = new_minxVAR;
  END IF;
  IF new_minyVAR < stored_miny THEN
    LET stored_miny = new_minyVAR;
  END IF;
  IF new_maxxVAR > stored_maxx THEN
    LET stored_maxx = new_maxxVAR;
  END IF;
  IF new_maxyVAR > stored_maxy THEN
    LET stored_maxy = new_maxyVAR;
  END IF;
  UPDATE ${LAYERS} SET minx = stored_minx, miny = stored_miny, maxx = stored_maxx,
      maxy = stored_maxy
    WHERE layer_id = wanted_layer_idVAR;
  RETURN 0;
END FUNCTION)"},

{DB_ROUTINES_LAYERS, "change_layer_table_name", -1,
R"(CREATE FUNCTION ${NAME}(new_table_nameVAR VARCHAR(128),
    wanted_layer_idVAR INTEGER)
  RETURNING INTEGER;
  DEFINE layer_owner VARCHAR(32);
  DEFINE layer_table VARCHAR(128);
  DEFINE layer_column VARCHAR(128);
  DEFINE gc_catalog VARCHAR(32);
  DEFINE gc_storage INTEGER;
  DEFINE gc_type INTEGER;
  DEFINE gc_dimension INTEGER;
  DEFINE gc_srid INTEGER;
  DEFINE sql_code INTEGER;
  DEFINE isam_code INTEGER;
  ON EXCEPTION IN (-273) SET sql_code, isam_code
    RETURN -20025;
  END EXCEPTION;
  LET layer_owner = NULL;
  LET layer_table = NULL;
  LET layer_column = NULL;
  SELECT owner, table_name, spatial_column INTO layer_owner, layer_table, layer_column
    FROM ${LAYERS} WHERE layer_id = wanted_layer_idVAR;
  LET gc_catalog = NULL;
  LET gc_storage = NULL;
  LET gc_type = NULL;
  LET gc_dimension = NULL;
  LET gc_srid = NULL;
  SELECT f_table_catalog, storage_type, geometry_type, coord_dimension, srid
      INTO gc_catalog, gc_storage, gc_type, gc_dimension, gc_srid
    FROM ${GEOMETRY_COLUMNS} WHERE f_table_schema = layer_owner
      AND f_table_name = layer_table AND f_geometry_column = layer_column;
  INSERT INTO ${GEOMETRY_COLUMNS} (f_table_catalog, f_table_schema, f_table_name,
      f_geometry_column, storage_type, geometry_type, coord_dimension, srid)
    VALUES (gc_catalog, layer_owner, new_table_nameVAR, layer_column, gc_storage, gc_type,
      gc_dimension, gc_srid);
  UPDATE ${LAYERS} SET table_name = new_table_nameVAR WHERE layer_id = wanted_layer_idVAR;
  DELETE FROM ${GEOMETRY_COLUMNS} WHERE f_table_schema = layer_owner
    AND f_table_name = layer_table AND f_geometry_column = layer_column;
  RETURN 0;
END FUNCTION)"},

{DB_ROUTINES_LAYERS, "update_spatial_references", -1,
R"(CREATE FUNCTION ${NAME}(wanted_layer_idVAR INTEGER,
    new_srtextVAR CHAR(2048))
  RETURNING INTEGER;
  DEFINE sql_code INTEGER;
  DEFINE isam_code INTEGER;
  ON EXCEPTION IN (-273) SET sql_code, isam_code
    RETURN -20025;
  END EXCEPTION;
  UPDATE ${SPATIAL_REFERENCES} SET srtext = new_srtextVAR
    WHERE srid = (SELECT srid FROM ${LAYERS} WHERE layer_id = wanted_layer_idVAR);
  RETURN 0;
END FUNCTION)"},

{DB_ROUTINES_LAYERS, "update_layer_srid", -1,
R"(CREATE FUNCTION ${NAME}(wanted_layer_idVAR INTEGER, new_sridVAR INTEGER)
  RETURNING INTEGER;
  DEFINE sql_code INTEGER;
  DEFINE isam_code INTEGER;
  ON EXCEPTION IN (-273) SET sql_code, isam_code
    RETURN -20025;
  END EXCEPTION;
  UPDATE ${LAYERS} SET srid = new_sridVAR WHERE layer_id = wanted_layer_idVAR;
  RETURN 0;
END FUNCTION)"},

{DB_ROUTINES_LAYERS, "insert_spatial_ref", -1,
R"(CREATE FUNCTION ${NAME}(sridVAR INTEGER, falsexVAR FLOAT, falseyVAR FLOAT,
    xyunitsVAR FLOAT, falsezVAR FLOAT, zunitsVAR FLOAT, falsemVAR FLOAT, munitsVAR FLOAT,
    srtextVAR CHAR(2048))
  RETURNING INTEGER;
  DEFINE sql_code INTEGER;
  DEFINE isam_code INTEGER;
  ON EXCEPTION IN (-275) SET sql_code, isam_code
    RETURN -20025;
  END EXCEPTION;
  INSERT INTO ${SPATIAL_REFERENCES} (srid, falsex, falsey, xyunits, falsez, zunits, falsem,
      munits, srtext)
    VALUES (sridVAR, falsexVAR, falseyVAR, xyunitsVAR, falsezVAR, zunitsVAR, falsemVAR,
      munitsVAR, srtextVAR);
  RETURN 0;
END FUNCTION)"},

// ---- raster columns: no status; failures reach the caller as errors ----
{DB_ROUTINES_RASTER_COLUMNS, "insert_rastercolumn", -1,
R"(CREATE PROCEDURE ${NAME}(rastercolumn_id_v INTEGER,
    description_v VARCHAR(65), database_name_v VARCHAR(32), owner_v VARCHAR(32),
    table_name_v VARCHAR(128), raster_column_v VARCHAR(128), cdate_v INTEGER,
    config_keyword_v VARCHAR(32), minimum_id_v INTEGER, base_rastercolumn_id_v INTEGER,
    rastercolumn_mask_v INTEGER, srid_v INTEGER)
  INSERT INTO ${RASTER_COLUMNS} (rastercolumn_id, description, database_name, owner,
      table_name, raster_column, cdate, config_keyword, minimum_id, base_rastercolumn_id,
      rastercolumn_mask, srid)
    VALUES (rastercolumn_id_v, description_v, database_name_v, owner_v, table_name_v,
      raster_column_v, cdate_v, config_keyword_v, minimum_id_v, base_rastercolumn_id_v,
      rastercolumn_mask_v, srid_v);
END PROCEDURE)"},

{DB_ROUTINES_RASTER_COLUMNS, "delete_rastercolumn", -1,
R"(CREATE PROCEDURE ${NAME}(rastercolumn_id_v INTEGER)
  DELETE FROM ${RASTER_COLUMNS} WHERE rastercolumn_id = rastercolumn_id_v;
END PROCEDURE)"},

{DB_ROUTINES_RASTER_COLUMNS, "update_rastercolumn", -1,
R"(CREATE PROCEDURE ${NAME}(rastercolumn_id_v INTEGER,
    description_v VARCHAR(65), config_keyword_v VARCHAR(32), minimum_id_v INTEGER,
    rastercolumn_mask_v INTEGER)
  UPDATE ${RASTER_COLUMNS} SET description = description_v, config_keyword = config_keyword_v,
      minimum_id = minimum_id_v, rastercolumn_mask = rastercolumn_mask_v
    WHERE rastercolumn_id = rastercolumn_id_v;
END PROCEDURE)"},

{DB_ROUTINES_RASTER_COLUMNS, "rename_rastercolumn", -1,
R"(CREATE PROCEDURE ${NAME}(rastercolumn_id_v INTEGER,
    table_name_v VARCHAR(160))
  UPDATE ${RASTER_COLUMNS} SET table_name = table_name_v
    WHERE rastercolumn_id = rastercolumn_id_v;
END PROCEDURE)"},

// ---- metadata ----
{DB_ROUTINES_METADATA, "insert_metadata", -1,
R"(CREATE FUNCTION ${NAME}(record_idVal INTEGER, object_nameVal VARCHAR(32),
    object_ownerVal VARCHAR(32), object_typeVal INTEGER, class_nameVal VARCHAR(32),
    propertyVal VARCHAR(32), prop_valueVal VARCHAR(255), descriptionVal VARCHAR(64))
  RETURNING INTEGER;
  DEFINE sql_code INTEGER;
  DEFINE isam_code INTEGER;
  ON EXCEPTION IN (-275) SET sql_code, isam_code
    RETURN -20025;
  END EXCEPTION;
  INSERT INTO ${METADATA} (record_id, object_name, object_owner, object_type, class_name,
      property, prop_value, description, creation_date)
    VALUES (record_idVal, object_nameVal, object_ownerVal, object_typeVal, class_nameVal,
      propertyVal, prop_valueVal, descriptionVal, CURRENT YEAR TO SECOND);
  RETURN 0;
END FUNCTION)"},

{DB_ROUTINES_METADATA, "update_metadata", -1,
R"(CREATE FUNCTION ${NAME}(record_idVal INTEGER, class_nameVal VARCHAR(32),
    propertyVal VARCHAR(32), prop_valueVal VARCHAR(255), descriptionVal VARCHAR(64),
    creation_dateVAR DATETIME YEAR TO SECOND)
  RETURNING INTEGER;
  DEFINE sql_code INTEGER;
  DEFINE isam_code INTEGER;
  ON EXCEPTION IN (-266, -273) SET sql_code, isam_code
    IF sql_code = -266 THEN
      RETURN -20220;
    END IF;
    RETURN -20025;
  END EXCEPTION;
  UPDATE ${METADATA} SET class_name = class_nameVal, property = propertyVal,
      prop_value = prop_valueVal, description = descriptionVal,
      creation_date = creation_dateVAR
    WHERE record_id = record_idVal;
  RETURN 0;
END FUNCTION)"},

{DB_ROUTINES_METADATA, "delete_metadata", -1,
R"(CREATE FUNCTION ${NAME}(id1Val INTEGER, id2Val INTEGER, id3Val INTEGER,
    id4Val INTEGER, id5Val INTEGER, id6Val INTEGER, id7Val INTEGER, id8Val INTEGER,
    id9Val INTEGER, id10Val INTEGER)
  RETURNING INTEGER;
  DEFINE sql_code INTEGER;
  DEFINE isam_code INTEGER;
  ON EXCEPTION IN (-266, -274) SET sql_code, isam_code
    IF sql_code = -266 THEN
      RETURN -20220;
    END IF;
    RETURN -20025;
  END EXCEPTION;
  DELETE FROM ${METADATA} WHERE record_id IN (id1Val, id2Val, id3Val, id4Val, id5Val, id6Val,
    id7Val, id8Val, id9Val, id10Val);
  RETURN 0;
END FUNCTION)"},

// ---- locators ----
{DB_ROUTINES_LOCATORS, "insert_locator", -1,
R"(CREATE FUNCTION ${NAME}(locator_idVal INTEGER, nameVal VARCHAR(32),
    categoryVal VARCHAR(32), typeVal INTEGER, descriptionVal VARCHAR(64), ownerVal VARCHAR(32))
  RETURNING INTEGER;
  DEFINE sql_code INTEGER;
  DEFINE isam_code INTEGER;
  ON EXCEPTION IN (-275, -268) SET sql_code, isam_code
    IF sql_code = -268 THEN
      RETURN -20276;
    END IF;
    RETURN -20025;
  END EXCEPTION;
  INSERT INTO ${LOCATORS} (locator_id, name, owner, category, type, description)
    VALUES (locator_idVal, nameVal, ownerVal, categoryVal, typeVal, descriptionVal);
  RETURN 0;
END FUNCTION)"},

{DB_ROUTINES_LOCATORS, "update_locator", -1,
R"(CREATE FUNCTION ${NAME}(locator_idVal INTEGER, nameVal VARCHAR(32),
    categoryVal VARCHAR(32), typeVal INTEGER, descriptionVal VARCHAR(32))
  RETURNING INTEGER;
  DEFINE sql_code INTEGER;
  DEFINE isam_code INTEGER;
  ON EXCEPTION IN (-266, -273, -268) SET sql_code, isam_code
    IF sql_code = -266 THEN
      RETURN -20220;
    END IF;
    IF sql_code = -268 THEN
      RETURN -20276;
    END IF;
    RETURN -20025;
  END EXCEPTION;
  UPDATE ${LOCATORS} SET name = nameVal, category = categoryVal, type = typeVal,
      description = descriptionVal
    WHERE locator_id = locator_idVal;
  RETURN 0;
END FUNCTION)"},

{DB_ROUTINES_LOCATORS, "delete_locator", -1,
R"(CREATE FUNCTION ${NAME}(id1Val INTEGER)
  RETURNING INTEGER;
  DEFINE sql_code INTEGER;
  DEFINE isam_code INTEGER;
  ON EXCEPTION IN (-266, -274) SET sql_code, isam_code
    IF sql_code = -266 THEN
      RETURN -20220;
    END IF;
    RETURN -20025;
  END EXCEPTION;
  DELETE FROM ${LOCATORS} WHERE locator_id = id1Val;
  RETURN 0;
END FUNCTION)"},

// ---- DBTUNE ----
{DB_ROUTINES_DBTUNE, "truncate_dbtune", -1,
R"(CREATE FUNCTION ${NAME}()
  RETURNING INTEGER;
  DEFINE sql_code INTEGER;
  DEFINE isam_code INTEGER;
  ON EXCEPTION IN (-266, -274, -206) SET sql_code, isam_code
    IF sql_code = -266 THEN
      RETURN -20220;
    END IF;
    IF sql_code = -206 THEN
      RETURN -20037;
    END IF;
    RETURN -20025;
  END EXCEPTION;
  DELETE FROM ${DBTUNE};
  RETURN 0;
END FUNCTION)"},

{DB_ROUTINES_DBTUNE, "insert_dbtune", -1,
R"(CREATE FUNCTION ${NAME}(keywordVAR VARCHAR(32), parameter_nameVAR VARCHAR(32),
    config_stringVAR CHAR(2048))
  RETURNING INTEGER;
  DEFINE sql_code INTEGER;
  DEFINE isam_code INTEGER;
  ON EXCEPTION IN (-100, -275) SET sql_code, isam_code
    RETURN -20025;
  END EXCEPTION;
  INSERT INTO ${DBTUNE} (keyword, parameter_name, config_string)
    VALUES (keywordVAR, parameter_nameVAR, config_stringVAR);
  RETURN 0;
END FUNCTION)"},
};
// clang-format on

const char *const db_routine_check_names[DB_ROUTINE_COUNT] = {
    "release_procedure",
    "delete_registration",
    "insert_registration",
    "update_registration",
    "change_registration_table_name",
    "clear_registration_modified",
    "create_global_and_types",
    "G_state_owner_cursor",
    "ZEL_startid_get",
    "ZEL_endid_get",
    "L_set_base_state",
    "L_state_user_can_modify",
    "close_state",
    "current_state",
    "delete_state",
    "insert_state",
    "open_state",
    "trim_state_lineage",
    "change_version_state",
    "delete_version",
    "insert_version",
    "update_version",
    "rename_version",
    "current_version_writable",
    "in_current_lineage",
    "set_current_version",
    "flag_mvtable_modified",
    "range_delete_ok",
    "init_version_info",
    "state_tree_cursor",
    "L_version_parse_name",
    "L_version_user_can_modify",
    "G_version_state_cursor",
    "delete_spatial_references",
    "insert_spatial_references",
    "alter_spatial_references",
    "lock_spatial_references",
    "check_spid",
    "insert_layer",
    "delete_layer",
    "update_layer",
    "update_layer_extent",
    "change_layer_table_name",
    "update_spatial_references",
    "insert_spatial_ref",
    "update_layer_srid",
    "insert_rastercolumn",
    "delete_rastercolumn",
    "update_rastercolumn",
    "rename_rastercolumn",
    "insert_metadata",
    "update_metadata",
    "delete_metadata",
    "insert_locator",
    "update_locator",
    "delete_locator",
    "truncate_dbtune",
    "insert_dbtune",
};

// ---- look-ups -------------------------------------------------------------------

// The state and version groups drop in an order of their own.
static const char *const S_state_drops[] = {"create_global_and_types",
                                            "delete_state",
                                            "insert_state",
                                            "trim_state_lineage",
                                            "L_set_base_state",
                                            "L_state_user_can_modify",
                                            "open_state",
                                            "close_state",
                                            "current_state",
                                            "G_state_owner_cursor",
                                            "ZEL_startid_get",
                                            "ZEL_endid_get"};
static const char *const S_version_drops[] = {
    "delete_version",        "insert_version",         "update_version",
    "rename_version",        "change_version_state",   "current_version_writable",
    "in_current_lineage",    "init_version_info",      "set_current_version",
    "flag_mvtable_modified", "L_version_parse_name",   "L_version_user_can_modify",
    "range_delete_ok",       "G_version_state_cursor", "state_tree_cursor"};

const DB_ROUTINE_TEXT *db_routine_text_find(const char *name)
{
    if (name == nullptr)
        return nullptr;
    for (const DB_ROUTINE_TEXT &routine : db_routine_texts)
        if (strcmp(routine.name, name) == 0)
            return &routine;
    return nullptr;
}

size_t db_routine_drop_order(int32_t group, const DB_ROUTINE_TEXT **out, size_t max)
{
    size_t count = 0;
    auto put = [&](const DB_ROUTINE_TEXT *routine) {
        if (out != nullptr && count < max)
            out[count] = routine;
        count++;
    };
    if (group == DB_ROUTINES_STATES || group == DB_ROUTINES_VERSIONS) {
        const char *const *names = group == DB_ROUTINES_STATES ? S_state_drops : S_version_drops;
        size_t n = group == DB_ROUTINES_STATES
                       ? sizeof(S_state_drops) / sizeof(S_state_drops[0])
                       : sizeof(S_version_drops) / sizeof(S_version_drops[0]);
        for (size_t i = 0; i < n; i++)
            put(db_routine_text_find(names[i]));
        return count;
    }
    for (const DB_ROUTINE_TEXT &routine : db_routine_texts)
        if (routine.group == group)
            put(&routine);
    return count;
}

int32_t db_routine_sql_name(DB_INSTANCE *instance, const DB_ROUTINE_TEXT *routine, char *out,
                            size_t size)
{
    if (routine == nullptr || out == nullptr)
        return ZE_INVALID_ARGUMENT;
    if (routine->lineage_kind >= 0)
        return db_lineage_routine_name(-1, out, size, routine->lineage_kind, 1);
    return db_make_admin_object_name(instance, routine->name, out, size);
}

// ---- formatting -------------------------------------------------------------------

typedef int32_t (*S_table_builder)(DB_INSTANCE *, char *, size_t);

static int32_t S_geometry_columns(DB_INSTANCE *, char *out, size_t size)
{
    return db_make_geometry_columns_name(out, size);
}
static int32_t S_metadata(DB_INSTANCE *, char *out, size_t size)
{
    return db_make_metadata_table_name(out, size);
}
static int32_t S_locators(DB_INSTANCE *, char *out, size_t size)
{
    return db_make_locators_table_name(out, size);
}
static int32_t S_raster_columns(DB_INSTANCE *, char *out, size_t size)
{
    return db_make_raster_columns_name(out, size);
}

static const struct {
    const char *token;
    S_table_builder build;
} S_tables[] = {
    {"LAYERS", db_make_layers_table_name},
    {"GEOMETRY_COLUMNS", S_geometry_columns},
    {"SPATIAL_REFERENCES", db_make_spatial_references_name},
    {"TABLE_REGISTRY", db_make_table_registry_name},
    {"MVTABLES_MODIFIED", db_make_mvtables_modified_name},
    {"RASTER_COLUMNS", S_raster_columns},
    {"METADATA", S_metadata},
    {"LOCATORS", S_locators},
    {"DBTUNE", db_make_dbtune_table_name},
    {"STATES", db_make_states_table_name},
    {"STATE_LINEAGES", db_make_state_lineages_table_name},
    {"VERSIONS", db_make_versions_table_name},
};

// Appends the value of one token; tokens inside the globals are filled too.
static int32_t S_expand(DB_INSTANCE *instance, const DB_ROUTINE_TEXT *routine, const char *text,
                        int depth, std::string *out);

static int32_t S_token(DB_INSTANCE *instance, const DB_ROUTINE_TEXT *routine,
                       const std::string &token, int depth, std::string *out)
{
    char name[DB_QUALIFIED_NAME_SIZE];
    if (token == "NAME") {
        int32_t rc = db_routine_sql_name(instance, routine, name, sizeof(name));
        if (rc != ZE_SUCCESS)
            return rc;
        *out += name;
        return ZE_SUCCESS;
    }
    if (token == "GLOBALS")
        return depth > 0 ? ZE_INVALID_ARGUMENT : S_expand(instance, routine, S_globals, 1, out);
    if (token == "RELEASE") {
        *out += std::to_string(DB_ROUTINE_RELEASE);
        return ZE_SUCCESS;
    }
    if (token == "DBA") {
        *out += DB_ADMIN_USER;
        return ZE_SUCCESS;
    }
    if (token == "ADMIN_DB") {
        char database[DB_NAME_DATABASE_SIZE];
        if (DB_instance_get_admin_database(instance, database) != ZE_SUCCESS)
            return ZE_INVALID_ARGUMENT;
        *out += database;
        return ZE_SUCCESS;
    }
    for (const auto &table : S_tables) {
        if (token == table.token) {
            int32_t rc = table.build(instance, name, sizeof(name));
            if (rc != ZE_SUCCESS)
                return rc;
            *out += name;
            return ZE_SUCCESS;
        }
    }
    const DB_ROUTINE_TEXT *other = db_routine_text_find(token.c_str());
    if (other == nullptr)
        return ZE_INVALID_ARGUMENT;
    int32_t rc = db_routine_sql_name(instance, other, name, sizeof(name));
    if (rc != ZE_SUCCESS)
        return rc;
    *out += name;
    return ZE_SUCCESS;
}

static int32_t S_expand(DB_INSTANCE *instance, const DB_ROUTINE_TEXT *routine, const char *text,
                        int depth, std::string *out)
{
    const char *p = text;
    while (*p != '\0') {
        const char *open = strstr(p, "${");
        if (open == nullptr) {
            out->append(p);
            break;
        }
        out->append(p, static_cast<size_t>(open - p));
        const char *close = strchr(open + 2, '}');
        if (close == nullptr)
            return ZE_INVALID_ARGUMENT;
        std::string token(open + 2, static_cast<size_t>(close - open - 2));
        int32_t rc = S_token(instance, routine, token, depth, out);
        if (rc != ZE_SUCCESS)
            return rc;
        p = close + 1;
    }
    return ZE_SUCCESS;
}

int32_t db_routine_text_format(DB_INSTANCE *instance, const DB_ROUTINE_TEXT *routine,
                               std::string *out)
{
    if (routine == nullptr || out == nullptr)
        return ZE_INVALID_ARGUMENT;
    out->clear();
    int32_t rc = S_expand(instance, routine, routine->text, 0, out);
    if (rc != ZE_SUCCESS)
        out->clear();
    return rc;
}
