// Fuzzes the filter compiler: any text either compiles or raises EFilterError; a compiled filter
// evaluates on a set of rows without failing, and when it translates to SQL, SQLite selects exactly
// the rows the C++ evaluation accepts.
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/data/filter_expr.h"

using namespace qel;

namespace {

struct TColumn {
    const char* Name;
    TFilterValueKind Kind;
};

constexpr TColumn kColumns[] = {{"A", TFilterValueKind::Integer},        {"X", TFilterValueKind::Float},
                                {"S", TFilterValueKind::String},         {"T", TFilterValueKind::String},
                                {"Flag", TFilterValueKind::Boolean},     {"D", TFilterValueKind::DateTime},
                                {"Length (cm)", TFilterValueKind::Float}};
constexpr int kColumnCount = static_cast<int>(std::size(kColumns));

class TRow : public TFilterRecord {
public:
    std::vector<TFilterValue> Values;
    TFilterValue FieldValue(int index) const override {
        return index >= 0 && index < static_cast<int>(Values.size()) ? Values[index] : TFilterValue{};
    }
};

struct TWorld {
    sqlite3* Db = nullptr;
    std::vector<TRow> Rows;

    TWorld() {
        sqlite3_open(":memory:", &Db);
        sqlite3_exec(Db,
                     "CREATE TABLE t (\"A\" INTEGER, \"X\" REAL, \"S\" TEXT, \"T\" TEXT, \"Flag\" INTEGER, "
                     "\"D\" REAL, \"Length (cm)\" REAL)",
                     nullptr, nullptr, nullptr);
        const std::int64_t ints[] = {0, 1, -1, 7, 9223372036854775807LL, -9223372036854775807LL - 1};
        const double floats[] = {0.0, 0.5, -2.25, 1e300, 3.0};
        const char* strs[] = {"", "a", "Ab", "abc", "x'y", "%_*", "\xC3\xA9t\xC3\xA9", "Z"};
        for (int r = 0; r < 24; ++r) {
            TRow row;
            row.Values.push_back(r % 7 == 0 ? TFilterValue::Null() : TFilterValue::Integer(ints[r % 6]));
            row.Values.push_back(r % 5 == 0 ? TFilterValue::Null() : TFilterValue::Float(floats[r % 5]));
            row.Values.push_back(r % 9 == 0 ? TFilterValue::Null() : TFilterValue::String(strs[r % 8]));
            row.Values.push_back(r % 4 == 0 ? TFilterValue::Null() : TFilterValue::String(strs[(r * 3) % 8]));
            row.Values.push_back(r % 3 == 0 ? TFilterValue::Null() : TFilterValue::Boolean(r % 2 == 0));
            row.Values.push_back(TFilterValue::DateTime(34000.25 + r * 17));
            row.Values.push_back(TFilterValue::Float(r * 1.5));
            Insert(row);
            Rows.push_back(std::move(row));
        }
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

    void Insert(const TRow& row) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(Db, "INSERT INTO t VALUES (?, ?, ?, ?, ?, ?, ?)", -1, &st, nullptr);
        for (int i = 0; i < kColumnCount; ++i) Bind(st, i + 1, row.Values[i]);
        sqlite3_step(st);
        sqlite3_finalize(st);
    }
};

TWorld& World() {
    static TWorld w;
    return w;
}

[[noreturn]] void Fail(const char* what, const std::string& text, const std::string& sql) {
    std::fprintf(stderr, "%s\n  filter: %s\n  sql: %s\n", what, text.c_str(), sql.c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    TFilterCompileOptions options;
    options.CaseInsensitive = (data[0] & 1) != 0;
    options.NoPartialCompare = (data[0] & 2) != 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    TFilterFieldResolver resolver = [](std::string_view name) -> std::optional<TFilterFieldInfo> {
        for (int i = 0; i < kColumnCount; ++i)
            if (name == kColumns[i].Name) return TFilterFieldInfo{i, kColumns[i].Kind};
        return std::nullopt;
    };
    std::unique_ptr<TFilterExpr> expr;
    try {
        expr = CompileFilter(text, resolver, options);
    } catch (const EFilterError& e) {
        if (e.Position() < 1 || e.Position() > static_cast<int>(text.size()) + 1)
            Fail("error position outside the text", text, e.Message());
        return 0;
    }
    TWorld& w = World();
    std::vector<int> accepted;
    for (size_t r = 0; r < w.Rows.size(); ++r)
        if (expr->Evaluate(w.Rows[r])) accepted.push_back(static_cast<int>(r) + 1);
    (void)expr->FieldsUsed();

    std::vector<TFilterValue> params;
    auto sql = FilterExprToSQL(
        *expr, [](int i) -> std::optional<std::string> { return kColumns[i].Name; }, params);
    if (!sql) return 0;
    sqlite3_stmt* st = nullptr;
    const std::string query = "SELECT rowid FROM t WHERE " + *sql + " ORDER BY rowid";
    if (sqlite3_prepare_v2(w.Db, query.c_str(), -1, &st, nullptr) != SQLITE_OK)
        Fail(sqlite3_errmsg(w.Db), text, *sql);
    if (sqlite3_bind_parameter_count(st) != static_cast<int>(params.size()))
        Fail("parameter count differs", text, *sql);
    for (size_t i = 0; i < params.size(); ++i) TWorld::Bind(st, static_cast<int>(i) + 1, params[i]);
    std::vector<int> selected;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) selected.push_back(sqlite3_column_int(st, 0));
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE) Fail("SQL failed", text, *sql);
    if (selected != accepted) Fail("SQLite and C++ disagree", text, *sql);
    return 0;
}
