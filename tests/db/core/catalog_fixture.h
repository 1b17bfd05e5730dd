// Test fixture of the catalogue's table tests: connected as the access
// core's journal tests are, standard error captured (the catalogue code
// reports on it), and a restart that gives a case of a table a fresh
// scripted CLI and connection.
#pragma once

#include <string>
#include <vector>

#include "tests/db/core/connected_fixture.h"

class CatalogTest : public Connected
{
  protected:
    void SetUp() override
    {
        Connected::SetUp();
        unsetenv("ZELVERBOSE");
        testing::internal::CaptureStderr();
        capturing_ = true;
    }
    void TearDown() override
    {
        if (capturing_)
            testing::internal::GetCapturedStderr();
        capturing_ = false;
        Connected::TearDown();
    }
    // What the code wrote on standard error since the last call (or the set-up).
    std::string Stderr()
    {
        std::string text = testing::internal::GetCapturedStderr();
        testing::internal::CaptureStderr();
        return text;
    }
    // A fresh scripted CLI and connection for the next case of a table:
    // the handles of the last case must all be freed.
    // (The connection's own tear-down captures standard error itself.)
    void Restart()
    {
        testing::internal::GetCapturedStderr();
        Connected::TearDown();
        Connected::SetUp();
        testing::internal::CaptureStderr();
    }
    // The bound values of every execute of sql since the connect, row by row.
    std::vector<std::vector<std::string>> Bound(const std::string &sql) const
    {
        std::vector<std::vector<std::string>> out;
        for (const scli::Call &c : Journal())
            if (c.fn == "SQLExecute" && c.sql == sql)
                for (const auto &row : c.params)
                    out.push_back(row);
        return out;
    }

    // The statements since the connect in order: each executed text, the
    // markers COMMIT and ROLLBACK, and "prepared <text>" for a statement that
    // was prepared and never executed (the existence tests that only
    // prepare their SELECT).
    std::vector<std::string> Trace() const
    {
        std::vector<std::string> out;
        const std::vector<scli::Call> j = Journal();
        for (size_t i = 0; i < j.size(); i++) {
            const scli::Call &c = j[i];
            if (c.fn == "SQLExecute" || c.fn == "SQLExecDirect" || c.fn == "SQLEndTran") {
                out.push_back(c.sql);
            } else if (c.fn == "SQLPrepare" && !ExecutedLater(j, i)) {
                out.push_back("prepared " + c.sql);
            }
        }
        return out;
    }

    // The SQL texts prepared since the connect.
    std::vector<std::string> Prepared() const
    {
        std::vector<std::string> out;
        for (const scli::Call &c : Journal())
            if (c.fn == "SQLPrepare")
                out.push_back(c.sql);
        return out;
    }

    bool capturing_ = false;

  private:
    // Whether the statement prepared at journal entry i runs before its
    // handle is prepared again or freed.
    static bool ExecutedLater(const std::vector<scli::Call> &j, size_t i)
    {
        for (size_t k = i + 1; k < j.size(); k++) {
            if (j[k].handle != j[i].handle)
                continue;
            if (j[k].fn == "SQLExecute")
                return true;
            if (j[k].fn == "SQLPrepare" || j[k].fn == "SQLFreeHandle" ||
                (j[k].fn == "SQLFreeStmt" && j[k].detail == "option=1"))
                return false;
        }
        return false;
    }
};
