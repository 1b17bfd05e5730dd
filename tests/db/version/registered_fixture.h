// Journal readers of the registered-table tests: the bound values of the
// executes (prepared or direct) of one statement, and the connection's
// extended error record.
#pragma once

#include <string>
#include <vector>

#include "db/core/db_xerr.h"
#include "tests/support/scripted_cli.h"

namespace registered_test
{

// The values bound to every execute of the SQL, prepared or direct, in order.
inline std::vector<std::vector<std::string>> params_of(const std::string &sql)
{
    std::vector<std::vector<std::string>> out;
    for (const scli::Call &c : scli::journal())
        if ((c.fn == "SQLExecute" || c.fn == "SQLExecDirect") && c.sql == sql)
            out.push_back(c.params.empty() ? std::vector<std::string>{} : c.params[0]);
    return out;
}

inline DB_EXT_ERROR xerr()
{
    DB_EXT_ERROR x;
    DB_instance_get_xerr(&x);
    return x;
}

} // namespace registered_test
