#pragma once
// A small in-memory "table" for filter tests: named fields, rows of values, and the same rows in an
// SQLite table so that translated WHERE clauses can be checked against the C++ evaluation.
#include <sqlite3.h>

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/core/strutils.h"
#include "platform/data/filter_expr.h"

namespace qel::testing {

struct TColumn {
    std::string Name;
    TFilterValueKind Kind;
};

class TRow : public TFilterRecord {
public:
    explicit TRow(std::vector<TFilterValue> values) : FValues(std::move(values)) {}
    TFilterValue FieldValue(int index) const override {
        if (index < 0 || index >= static_cast<int>(FValues.size())) return {};
        return FValues[index];
    }
    const std::vector<TFilterValue>& Values() const { return FValues; }

private:
    std::vector<TFilterValue> FValues;
};

class TFilterTable {
public:
    explicit TFilterTable(std::vector<TColumn> columns) : FColumns(std::move(columns)) {
        if (sqlite3_open(":memory:", &FDb) != SQLITE_OK) throw std::runtime_error("sqlite open");
        std::string sql = "CREATE TABLE t (";
        for (size_t i = 0; i < FColumns.size(); ++i) {
            if (i) sql += ", ";
            sql += QuoteSQLIdentifier(FColumns[i].Name) + " " + SqlType(FColumns[i].Kind);
        }
        sql += ")";
        Exec(sql);
    }
    ~TFilterTable() { sqlite3_close(FDb); }
    TFilterTable(const TFilterTable&) = delete;
    TFilterTable& operator=(const TFilterTable&) = delete;

    TFilterFieldResolver Resolver() const {
        return [this](std::string_view name) -> std::optional<TFilterFieldInfo> {
            for (size_t i = 0; i < FColumns.size(); ++i)
                if (SameText(FColumns[i].Name, name))
                    return TFilterFieldInfo{static_cast<int>(i), FColumns[i].Kind};
            return std::nullopt;
        };
    }
    TFilterColumnMapper Columns() const {
        return [this](int index) -> std::optional<std::string> {
            if (index < 0 || index >= static_cast<int>(FColumns.size())) return std::nullopt;
            return FColumns[index].Name;
        };
    }

    void AddRow(std::vector<TFilterValue> values) {
        std::string sql = "INSERT INTO t VALUES (";
        for (size_t i = 0; i < values.size(); ++i) sql += i ? ", ?" : "?";
        sql += ")";
        sqlite3_stmt* st = Prepare(sql);
        for (size_t i = 0; i < values.size(); ++i) Bind(st, static_cast<int>(i) + 1, values[i]);
        const int rc = sqlite3_step(st);
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE) throw std::runtime_error("insert failed");
        FRows.emplace_back(std::move(values));
    }

    const std::vector<TRow>& Rows() const { return FRows; }

    // Rows (0-based) the compiled filter accepts, evaluated in C++.
    std::vector<int> Evaluate(const TFilterExpr& e) const {
        std::vector<int> out;
        for (size_t i = 0; i < FRows.size(); ++i)
            if (e.Evaluate(FRows[i])) out.push_back(static_cast<int>(i));
        return out;
    }

    // Rows selected by SQLite with the WHERE clause and parameters.
    std::vector<int> Select(const std::string& where, const std::vector<TFilterValue>& params) const {
        sqlite3_stmt* st = Prepare("SELECT rowid - 1 FROM t WHERE " + where + " ORDER BY rowid");
        if (sqlite3_bind_parameter_count(st) != static_cast<int>(params.size())) {
            sqlite3_finalize(st);
            throw std::runtime_error("parameter count mismatch in: " + where);
        }
        for (size_t i = 0; i < params.size(); ++i) Bind(st, static_cast<int>(i) + 1, params[i]);
        std::vector<int> out;
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) out.push_back(sqlite3_column_int(st, 0));
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE) throw std::runtime_error("select failed: " + where);
        return out;
    }

    int TableCount() const {
        sqlite3_stmt* st = Prepare("SELECT count(*) FROM sqlite_master WHERE type = 'table'");
        sqlite3_step(st);
        const int n = sqlite3_column_int(st, 0);
        sqlite3_finalize(st);
        return n;
    }

    void Exec(const std::string& sql) const {
        char* err = nullptr;
        if (sqlite3_exec(FDb, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
            std::string m = err ? err : "?";
            sqlite3_free(err);
            throw std::runtime_error(m + " in: " + sql);
        }
    }

private:
    std::vector<TColumn> FColumns;
    std::vector<TRow> FRows;
    sqlite3* FDb = nullptr;

    static const char* SqlType(TFilterValueKind k) {
        switch (k) {
        case TFilterValueKind::Integer:
        case TFilterValueKind::Boolean: return "INTEGER";
        case TFilterValueKind::Float:
        case TFilterValueKind::DateTime: return "REAL";
        default: return "TEXT";
        }
    }
    sqlite3_stmt* Prepare(const std::string& sql) const {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(FDb, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            throw std::runtime_error(std::string(sqlite3_errmsg(FDb)) + " in: " + sql);
        return st;
    }
    static void Bind(sqlite3_stmt* st, int i, const TFilterValue& v) {
        switch (v.Kind) {
        case TFilterValueKind::Null: sqlite3_bind_null(st, i); break;
        case TFilterValueKind::Integer: sqlite3_bind_int64(st, i, v.AsInteger); break;
        case TFilterValueKind::Boolean: sqlite3_bind_int(st, i, v.AsBoolean ? 1 : 0); break;
        case TFilterValueKind::Float:
        case TFilterValueKind::DateTime: sqlite3_bind_double(st, i, v.AsFloat); break;
        case TFilterValueKind::String:
            sqlite3_bind_text(st, i, v.AsString.data(), static_cast<int>(v.AsString.size()),
                              SQLITE_TRANSIENT);
            break;
        }
    }
};

} // namespace qel::testing
