// Texts and journal readers the catalogue tests share: the raster column
// SELECT as the catalogue is asked for it, the bound values of executed
// statements, and a routine's status answer.
#pragma once

#include <cstdint>
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

// The values bound to every execute of the SQL, in order.
inline std::vector<std::vector<std::string>> all_params_of(const std::string &sql)
{
    std::vector<std::vector<std::string>> out;
    for (const scli::Call &c : scli::calls_of("SQLExecute"))
        if (c.sql == sql && !c.params.empty())
            out.push_back(c.params[0]);
    return out;
}

// A catalogue routine's call that answers one integer status, times times.
inline void answer_status(const std::string &call, int32_t status, int times = 1)
{
    scli::on_sql(call).columns({{"status", SQL_INTEGER}}).row({scli::i32(status)}).times(times);
}

} // namespace catalog_test
