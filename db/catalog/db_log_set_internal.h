// The statement texts of the log-file set operations (db_log_set.h), built
// from the tables and data ids they work on, so that each text is written
// in one place and can be run over any pair of data tables.
#ifndef DB_LOG_SET_INTERNAL_H
#define DB_LOG_SET_INTERNAL_H

#include <stdint.h>

#include "db/catalog/db_log_set.h"

#ifdef __cplusplus
#include <string>

// The tables and data ids of one combination: the rows of data id a in
// first and b in second go to data id t in target.
struct DB_LOG_COMBINE_SQL {
    std::string target;
    int32_t t = 0;
    std::string first;
    int32_t a = 0;
    std::string second;
    int32_t b = 0;
};

// The distinct ids of data id in the data table.
std::string db_log_count_sql(const std::string &data_table, int32_t data_id);
// The view a combination reads from (union and symmetric difference; empty
// for the others), named view.
std::string db_log_combine_view_sql(int32_t code, const DB_LOG_COMBINE_SQL &tables,
                                    const std::string &view);
// The INSERT of a combination's result (empty for a code outside 1 to 4).
std::string db_log_combine_insert_sql(int32_t code, const DB_LOG_COMBINE_SQL &tables,
                                      const std::string &view);
// The view's name: the target log's qualified name and the two logs' tags.
std::string db_log_combine_view_name(int32_t code, const std::string &target_log, int32_t first_tag,
                                     int32_t second_tag);
// The distinct ids of one data id copied under another.
std::string db_log_copy_rows_sql(const std::string &target_table, int32_t target_data_id,
                                 const std::string &source_table, int32_t source_data_id);
// The owner's duplicate-removal function over its data table.
std::string db_log_setdelete_name(const std::string &data_table);
std::string db_log_setdelete_sql(const std::string &function, const std::string &data_table);
#endif

#endif
