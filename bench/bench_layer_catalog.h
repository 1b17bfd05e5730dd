// The LAYERS catalogue row's columns as the benchmarks script them: every
// column a 128-byte text, which the layer reader converts as a driver would.
#pragma once

#include <sqlext.h>

#include <vector>

#include "tests/support/scripted_cli.h"

inline std::vector<scli::Column> bench_layer_columns()
{
    std::vector<scli::Column> columns;
    for (const char *name : {"layer_id",   "description",  "minx",
                             "miny",       "maxx",         "maxy",
                             "eflags",     "layer_mask",   "database_name",
                             "table_name", "owner",        "spatial_column",
                             "cdate",      "layer_config", "optimal_array_size",
                             "stats_date", "minimum_id",   "base_layer_id",
                             "falsex",     "falsey",       "xyunits",
                             "falsez",     "zunits",       "falsem",
                             "munits",     "srtext",       "srid"})
        columns.push_back(scli::Column(name, SQL_VARCHAR, 128));
    return columns;
}
