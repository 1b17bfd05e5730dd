// The SQL texts of the catalogue's tables as the tests expect them in the
// scripted CLI's journal: the release table, the catalogue tables, the states
// and their lineages; with the driver's answers the tests script for them.
#pragma once

#include <vector>

#include "tests/support/scripted_cli.h"

namespace catalog_sql
{

// Answers of the driver.
inline const scli::Diag kNoTable{"S0002", -206, "no table"};
inline const scli::Diag kNoColumn{"S0022", -217, "no column"};
inline const scli::Diag kExists{"S0001", -310, "exists"};
inline const scli::Diag kNoRoutine{"IX000", -674, "routine not found"};
inline const scli::Diag kNoPermission{"42000", -273, "no permission"};

// A query of one integer answers count.
inline void ScriptCount(const char *sql, int32_t count)
{
    scli::on_sql(sql).columns({{"count", SQL_INTEGER}}).row({scli::i32(count)});
}

// The release table's columns as the driver describes them.
inline std::vector<scli::Column> ReleaseColumns()
{
    return {{"major", SQL_INTEGER},
            {"minor", SQL_INTEGER},
            {"bugfix", SQL_INTEGER},
            {"description", SQL_VARCHAR, 96},
            {"release", SQL_INTEGER}};
}

// The DBTUNE store's read of the catalogue's storage.
inline constexpr char kDbtuneRead[] =
    "SELECT keyword, parameter_name, config_string FROM zel:zel.dbtune "
    "where keyword = 'DATA_DICTIONARY' OR keyword = 'DEFAULTS'";

inline constexpr char kGeometryColumns[] =
    "CREATE TABLE GEOMETRY_COLUMNS (f_table_catalog VARCHAR(32) NOT NULL, "
    "f_table_schema VARCHAR(32) NOT NULL, f_table_name VARCHAR(128) NOT NULL, "
    "f_geometry_column VARCHAR(128) NOT NULL, storage_type INTEGER, "
    "geometry_type INTEGER NOT NULL, coord_dimension INTEGER, srid INTEGER NOT NULL, "
    "PRIMARY KEY (f_table_catalog, f_table_schema, f_table_name, f_geometry_column) "
    "CONSTRAINT geocol_pk, FOREIGN KEY (srid) REFERENCES spatial_references (srid) "
    "CONSTRAINT geocol_fk) ";
inline constexpr char kMetadata[] =
    "CREATE TABLE METADATA (record_id integer NOT NULL, object_name VARCHAR(32) NOT NULL, "
    "object_owner VARCHAR(32) NOT NULL, object_type INTEGER NOT NULL, class_name VARCHAR(32), "
    "property VARCHAR(32), prop_value VARCHAR(255), description VARCHAR(65), "
    "creation_date DATETIME YEAR TO SECOND NOT NULL, "
    "PRIMARY KEY (record_id) CONSTRAINT metadata_pk)";
inline constexpr char kRasterColumns[] =
    "CREATE TABLE RASTER_COLUMNS (rastercolumn_id integer NOT NULL, description VARCHAR(65), "
    "database_name VARCHAR(32) NOT NULL, owner VARCHAR(32) NOT NULL, "
    "table_name VARCHAR(128) NOT NULL, raster_column VARCHAR(128) NOT NULL, "
    "cdate INTEGER NOT NULL, config_keyword VARCHAR(32), minimum_id INTEGER, "
    "base_rastercolumn_id INTEGER NOT NULL, rastercolumn_mask INTEGER NOT NULL, srid INTEGER, "
    "UNIQUE (rastercolumn_id) CONSTRAINT rascol_uk, "
    "PRIMARY KEY (owner, table_name, raster_column) CONSTRAINT rascol_pk, "
    "FOREIGN KEY (srid) REFERENCES spatial_references (srid) CONSTRAINT rascol_fk) ";
inline constexpr char kTableRegistry[] =
    "CREATE TABLE TABLE_REGISTRY (registration_id integer NOT NULL, "
    "database_name VARCHAR(32) NOT NULL, owner VARCHAR(32) NOT NULL, "
    "table_name VARCHAR(128) NOT NULL, rowid_column VARCHAR(32), description VARCHAR(65), "
    "object_flags INTEGER NOT NULL, registration_date INTEGER NOT NULL, "
    "config_keyword VARCHAR(32), minimum_id INTEGER, imv_view_name VARCHAR(32), "
    "PRIMARY KEY (registration_id) CONSTRAINT registry_pk, "
    "UNIQUE (database_name,table_name,owner) CONSTRAINT registry_uk2) ";
inline constexpr char kLocators[] =
    "CREATE TABLE LOCATORS (locator_id INTEGER NOT NULL, name VARCHAR(32) NOT NULL, "
    "owner VARCHAR(32) NOT NULL, category VARCHAR(32) NOT NULL, type INTEGER NOT NULL, "
    "description VARCHAR(64) NOT NULL, PRIMARY KEY (locator_id) CONSTRAINT locators_pk, "
    "UNIQUE (name,owner) CONSTRAINT locators_uk) ";
inline constexpr char kMvtablesModified[] =
    "CREATE TABLE MVTABLES_MODIFIED (state_id INTEGER NOT NULL, "
    "registration_id INTEGER NOT NULL) ";
inline constexpr char kMvtablesIndex[] =
    " CREATE INDEX mvtables_mod_ix ON mvtables_modified (state_id,registration_id) ";
inline constexpr char kSpatialReferences[] =
    "CREATE TABLE SPATIAL_REFERENCES (srid integer NOT NULL, description VARCHAR(64), "
    "auth_name VARCHAR(255), auth_srid INTEGER, falsex FLOAT NOT NULL, "
    "falsey FLOAT NOT NULL, xyunits FLOAT NOT NULL, falsez FLOAT NOT NULL, "
    "zunits FLOAT NOT NULL, falsem FLOAT NOT NULL, munits FLOAT NOT NULL, "
    "srtext CHAR(2048) NOT NULL, PRIMARY KEY (srid) CONSTRAINT zel.spref_pk) ";
inline constexpr char kSpatialRefView[] =
    "create view zel.spatial_ref_sys as select srid, auth_name, "
    "auth_srid, srtext from zel.spatial_references";
inline constexpr char kLayers[] =
    "CREATE TABLE LAYERS (layer_id INTEGER, description VARCHAR(65), database_name "
    "VARCHAR(32), owner VARCHAR(32) NOT NULL, table_name VARCHAR(128) NOT NULL, spatial_column "
    "VARCHAR(128) NOT NULL, eflags INTEGER NOT NULL, layer_mask INTEGER NOT NULL, minx FLOAT NOT "
    "NULL, miny FLOAT NOT NULL, maxx FLOAT NOT NULL, maxy FLOAT NOT NULL, cdate INTEGER NOT "
    "NULL, layer_config VARCHAR(32), optimal_array_size INTEGER, stats_date INTEGER, minimum_id "
    "INTEGER, srid INTEGER NOT NULL, base_layer_id INTEGER NOT NULL, PRIMARY KEY "
    "(database_name,owner,table_name,spatial_column) CONSTRAINT zel.layers_pk, UNIQUE "
    "(layer_id) CONSTRAINT layer_uk1, UNIQUE (database_name, owner, table_name) CONSTRAINT "
    "layer_uk2, FOREIGN KEY (database_name,owner,table_name,spatial_column) REFERENCES "
    "zel:zel.Geometry_Columns (f_table_catalog,f_table_schema,f_table_name,f_geometry_column) "
    "CONSTRAINT layers_fk, foreign key (srid) references zel.spatial_references (srid) "
    "constraint zel.spatial_ref_fk) ";
inline constexpr char kStates[] =
    "CREATE TABLE STATES (state_id integer NOT NULL, owner VARCHAR(32) NOT "
    "NULL, creation_time DATETIME YEAR TO SECOND NOT NULL, closing_time "
    "DATETIME YEAR TO SECOND, parent_state_id INTEGER NOT NULL, PRIMARY KEY "
    "(state_id) CONSTRAINT states_pk) ";
inline constexpr char kStatesInsert[] =
    "INSERT INTO zel:zel.states  (state_id,                 owner,                 "
    "creation_time,                 closing_time,                 parent_state_id)      "
    "VALUES (?, ?, ?, ?, ?)";
inline constexpr char kStatesGrant[] = "GRANT SELECT ON zel:zel.states TO PUBLIC";
inline constexpr char kGeneratorTable[] =
    "CREATE TABLE state_id_generator(state_id serial NOT NULL)";
inline constexpr char kGeneratorCall[] = "execute function zel:state_id_generator()";
inline constexpr char kGeneratorTable2[] =
    "CREATE TABLE state_id_generator(state_id serial not NULL)";
inline constexpr char kGeneratorFunction[] =
    "CREATE FUNCTION state_id_generator() RETURNING integer;\n"
    "  DEFINE nextval integer;\n"
    "  DEFINE creating_time datetime year to second;\n"
    "  LET nextval = NULL;\n"
    "  LET creating_time = CURRENT;\n"
    "  INSERT INTO zel:state_id_generator VALUES (0);\n"
    "  LET nextval = DBINFO('sqlca.sqlerrd1');\n"
    "  RETURN nextval;\n"
    "END FUNCTION";
inline constexpr char kVersions[] =
    "CREATE TABLE VERSIONS (name VARCHAR(64) NOT NULL, owner VARCHAR(32) NOT NULL, version_id "
    "integer NOT NULL, status INTEGER NOT NULL, state_id INTEGER NOT NULL, description "
    "VARCHAR(65), parent_name VARCHAR(64), parent_owner VARCHAR(32), parent_version_id INTEGER, "
    "creation_time DATETIME YEAR TO SECOND NOT NULL, UNIQUE (name,owner) CONSTRAINT versions_uk, "
    "UNIQUE (version_id) CONSTRAINT versions_uk2) ";
inline constexpr char kVersionsInsert[] =
    "INSERT INTO zel:zel.versions     (name,                    owner,                    "
    "version_id,                    status,                    state_id,                    "
    "description,                    parent_name,                    parent_owner,          "
    "          parent_version_id,                    creation_time)        "
    "VALUES (?,?,?,?,?,?,?,?,?,?)";
inline constexpr char kOldProbe[] = "SELECT lineage_length FROM zel:zel.states ";
inline constexpr char kLineages[] =
    "CREATE TABLE zel:zel.state_lineages (state_id INTEGER NOT NULL, "
    "lineage_id INTEGER NOT NULL, PRIMARY KEY (state_id, lineage_id) "
    "CONSTRAINT lineage_pk)";
inline constexpr char kLineagesGrant[] = "GRANT SELECT ON zel:zel.state_lineages TO PUBLIC";
inline constexpr char kLineagesDrop[] = "DROP TABLE state_lineages";
inline constexpr char kPairCount[] =
    "SELECT SUM (lineage_length) + COUNT (state_id) FROM   zel:zel.states";
inline constexpr char kOldScan[] = "SELECT state_id, owner,creation_time,closing_time,       "
                                   "lineage_length,lineage,ROWID FROM zel:zel.states    ";
inline constexpr char kPairInsert[] =
    "INSERT INTO zel:zel.state_lineages (state_id, lineage_id)        VALUES (?,?)";
inline constexpr char kCreateTrigger[] =
    "CREATE TRIGGER ZEL_LINEAGE_DELETE DELETE ON zel:zel.states REFERENCING OLD AS old FOR EACH "
    "ROW (DELETE /*+INDEX(STATE_LINEAGES LINEAGE_ID_IDX)*/ FROM zel:zel.state_lineages where "
    "state_id = old.state_id OR  lineage_id = old.state_id)";
inline constexpr char kProbeTrigger[] =
    "CREATE TRIGGER ZEL_LINEAGE_DELETE DELETE ON zel:zel.states REFERENCING OLD AS old FOR EACH "
    "ROW (DELETE /*+INDEX(STATE_LINEAGES lineage_id_idx)*/ FROM zel:zel.state_lineages where "
    "state_id = old.state_id OR  lineage_id = old.state_id)";
inline constexpr char kIndex[] = "CREATE INDEX lineage_id_idx on STATE_LINEAGES(lineage_id)";
inline constexpr char kBaseCount[] =
    "SELECT count(*) FROM  zel:zel.state_lineages WHERE  state_id = 0 AND lineage_id = 0";
inline constexpr char kBasePair[] =
    "INSERT INTO zel:zel.state_lineages SELECT state_id,state_id FROM   "
    "zel:zel.states WHERE  state_id = 0";
inline constexpr char kDropColumns[] = "ALTER TABLE states DROP (lineage_length, lineage)";
inline constexpr char kReleaseCreate[] =
    "CREATE TABLE version (MAJOR integer not null,MINOR integer not null,"
    "BUGFIX integer not null,DESCRIPTION varchar(96) not null,"
    "RELEASE integer not null ) ";
inline constexpr char kReleaseInsert[] =
    "INSERT INTO zel:zel.version (major, minor, bugfix, description, release) "
    "VALUES (?, ?, ?, ?, ?)";
inline constexpr char kReleaseSelect[] =
    "SELECT major, minor, bugfix, description, release FROM zel:zel.version";
inline constexpr char kReleaseUpdate[] =
    "UPDATE zel:zel.version SET major = ?, minor = ?, bugfix = ?, "
    "description = ?, release = ? WHERE release = 81000";
inline constexpr char kDescriptionBinding[] = "param=4 io=1 ctype=1 sqltype=1 size=96 buflen=97";

} // namespace catalog_sql
