// Texts and journal readers the catalogue tests share: the raster column
// SELECT as the catalogue is asked for it, and the bound values of an
// executed statement.
#pragma once

#include <string>
#include <vector>

#include "db/core/db_names_internal.h"
#include "tests/support/scripted_cli.h"

namespace catalog_test
{

// "SELECT <20 columns> FROM <raster columns> rc, OUTER <spatial references> sr".
inline std::string raster_select_from()
{
    char raster_columns[DB_QUALIFIED_NAME_SIZE], references[DB_QUALIFIED_NAME_SIZE];
    db_make_raster_columns_name(raster_columns, sizeof(raster_columns));
    db_make_spatial_references_name(nullptr, references, sizeof(references));
    return std::string("SELECT rastercolumn_id, rc.description, database_name, owner, table_name, "
                       "raster_column, cdate, config_keyword, minimum_id, base_rastercolumn_id, "
                       "rastercolumn_mask, falsex, falsey, xyunits, falsez, zunits, falsem, "
                       "munits, srtext, rc.srid FROM ") +
           raster_columns + " rc, OUTER " + references + " sr";
}

// The raster column look-up by table (and column, when asked) in the
// connected database.
inline std::string raster_by_table(bool column)
{
    return raster_select_from() + " WHERE database_name = ? AND owner = ? AND table_name = ?" +
           (column ? " AND raster_column = ?" : "") + " AND rc.srid = sr.srid";
}

// The values bound to the last execute of the SQL, as the journal shows them.
inline std::vector<std::string> params_of(const std::string &sql)
{
    std::vector<std::string> last;
    for (const scli::Call &c : scli::calls_of("SQLExecute"))
        if (c.sql == sql && !c.params.empty())
            last = c.params[0];
    return last;
}

} // namespace catalog_test
