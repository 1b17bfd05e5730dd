// Fault sweeps over database entry points on a live connection: a case runs
// once without a fault to count its CLI calls, then once per call with that
// call failing (prepare, bind, execute, fetch, commit, catalogue calls; the
// frees and diagnostic reads are left alone, nothing looks at their result).
// Each failing run must
//   - answer a negative code (never success after a failed step), unless the
//     failing statement is one the case names as passed over by design;
//   - keep the case's transaction rule: under One and Batches no COMMIT
//     follows the failure, and a ROLLBACK does when anything but a SELECT ran
//     since the last COMMIT (the batches committed before the failure stay);
//     under Steps every step commits by itself and the undo of a failure
//     (drops) commits too; under LockEnds the commit that follows a failed
//     step only ends a table lock (the step wrote nothing); under Caller the
//     transaction is the caller's: no COMMIT follows the failure, and the
//     caller rolls back;
//   - leave no more statement handles than a clean run;
//   - leave a connection on which the case succeeds again at once.
// The scenario scripts the answers of one clean run; it is scripted afresh
// (scli::clear_answers) before every run. A row may name calls whose failure
// is passed over by design (unchecked), such as a row count read only to
// tell "no row" apart after the write itself succeeded.
#pragma once

#include <stdio.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/quiet_stderr.h"
#include "tests/support/scripted_cli.h"

namespace scli
{

enum class Txn { One, Batches, Caller, Steps, LockEnds };

struct SweepCase {
    const char *name;
    Txn rule;
    std::function<void()> scenario; // the answers of one clean run
    std::function<int32_t()> run;   // the entry point: 0 on success
    // Text prefixes of statements whose failure the entry point passes over
    // by design (the reason stands at the row).
    std::vector<std::string> passed_over = {};
    // CLI functions whose failure the entry point passes over by design.
    std::vector<std::string> unchecked = {};
};

namespace sweep_detail
{

inline bool starts_with(const std::string &text, const std::string &prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

inline bool is_read(const std::string &sql)
{
    size_t i = sql.find_first_not_of(' ');
    if (i == std::string::npos)
        return true;
    std::string word = sql.substr(i, 6);
    for (char &c : word)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return word == "SELECT";
}

inline bool is_statement(const Call &c)
{
    return c.rc != SQL_INVALID_HANDLE &&
           (c.fn == "SQLExecute" || c.fn == "SQLExecDirect" || c.fn == "SQLEndTran");
}

inline bool left_alone(const std::string &fn)
{
    return fn == "SQLFreeHandle" || fn == "SQLFreeStmt" || fn == "SQLGetDiagRec" ||
           fn == "SQLGetDiagField" || fn == "SQLCloseCursor" || fn == "SQLCancel";
}

// The transaction rule over the statements of one failing run: calls from
// first on, the injected one at failed.
inline void check_rule(Txn rule, const std::vector<Call> &calls, size_t failed)
{
    if (rule == Txn::Steps || rule == Txn::LockEnds)
        return;
    bool written = false; // since the last COMMIT, before the failure
    for (size_t i = 0; i < failed; i++) {
        const Call &c = calls[i];
        if (!is_statement(c) || !SQL_SUCCEEDED(c.rc))
            continue;
        if (c.sql == "COMMIT" || c.sql == "ROLLBACK")
            written = false;
        else if (!is_read(c.sql))
            written = true;
    }
    bool rolled_back = false;
    for (size_t i = failed + 1; i < calls.size(); i++) {
        const Call &c = calls[i];
        if (!is_statement(c))
            continue;
        EXPECT_NE(c.sql, "COMMIT") << "a COMMIT follows the failure";
        if (c.sql == "ROLLBACK")
            rolled_back = true;
    }
    if (written && rule != Txn::Caller) {
        EXPECT_TRUE(rolled_back) << "what was written before the failure is not rolled back";
    }
}

// The statement each call of a clean run serves: its own text; for a
// COMMIT the statement executed last; for a call before any text (the
// statement's allocation and attributes) the next text.
inline std::vector<std::string> step_texts(const std::vector<Call> &calls)
{
    std::vector<std::string> out(calls.size());
    std::string last;
    for (size_t i = 0; i < calls.size(); i++) {
        const Call &c = calls[i];
        if (c.fn == "SQLEndTran") {
            out[i] = last;
        } else if (!c.sql.empty()) {
            out[i] = c.sql;
            if (c.fn == "SQLExecute" || c.fn == "SQLExecDirect")
                last = c.sql;
        }
    }
    for (size_t i = calls.size(); i-- > 0;)
        if (out[i].empty() && calls[i].fn != "SQLEndTran" && i + 1 < calls.size())
            out[i] = out[i + 1];
    return out;
}

} // namespace sweep_detail

// Sweeps one case; the number of failure points tried.
inline int sweep(const SweepCase &k)
{
    using namespace sweep_detail;
    SCOPED_TRACE(k.name);
    // A first run fills what the library keeps between calls (type names,
    // caches), so that the counted run and the failing runs make the same
    // calls.
    clear_answers();
    k.scenario();
    EXPECT_EQ(quiet_stderr(k.run), 0) << "the clean run fails";
    clear_answers();
    k.scenario();
    const int first = call_count("");
    const size_t mark = journal().size();
    const size_t handles = leaks().size();
    EXPECT_EQ(quiet_stderr(k.run), 0) << "the clean run fails";
    const int count = call_count("") - first;
    std::vector<std::string> fns, steps;
    for (size_t i = mark; i < journal().size(); i++)
        fns.push_back(journal()[i].fn);
    steps =
        step_texts(std::vector<Call>(journal().begin() + static_cast<long>(mark), journal().end()));
    const size_t kept = std::max(handles, leaks().size());
    int points = 0;
    for (int n = 1; n <= count; n++) {
        const std::string &fn = fns[static_cast<size_t>(n - 1)];
        if (left_alone(fn))
            continue;
        SCOPED_TRACE("call " + std::to_string(n) + ": " + fn);
        points++;
        clear_answers();
        k.scenario();
        const size_t at = journal().size();
        fail_call("", call_count("") + n, SQL_ERROR, {"HY000", -999, "injected"});
        const int32_t rc = quiet_stderr(k.run);
        const std::vector<Call> calls(journal().begin() + static_cast<long>(at), journal().end());
        size_t failed = calls.size();
        for (size_t i = 0; i < calls.size(); i++)
            if (calls[i].injected)
                failed = i;
        if (failed == calls.size()) {
            ADD_FAILURE() << "the failing call never came";
            continue;
        }
        SCOPED_TRACE("failed: " + calls[failed].sql.substr(0, 120));
        bool passed_over = false;
        for (const std::string &p : k.passed_over)
            passed_over = passed_over || starts_with(steps[static_cast<size_t>(n - 1)], p);
        for (const std::string &f : k.unchecked)
            passed_over = passed_over || calls[failed].fn == f;
        if (!passed_over) {
            EXPECT_LT(rc, 0) << "the failure is answered as " << rc;
        }
        bool unchecked = false;
        for (const std::string &f : k.unchecked)
            unchecked = unchecked || calls[failed].fn == f;
        if (!unchecked)
            check_rule(k.rule, calls, failed);
        EXPECT_LE(leaks().size(), kept) << "a handle is left";
        // The connection serves the next call.
        clear_answers();
        k.scenario();
        EXPECT_EQ(quiet_stderr(k.run), 0) << "the next call fails";
    }
    return points;
}

// Sweeps every case; prints the figure of the sweep.
inline void sweep_all(const char *what, const std::vector<SweepCase> &cases)
{
    int points = 0;
    for (const SweepCase &k : cases)
        points += sweep(k);
    printf("[ sweep    ] %s: %zu entry points, %d failure points\n", what, cases.size(), points);
}

} // namespace scli
