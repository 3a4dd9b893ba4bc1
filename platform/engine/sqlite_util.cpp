#include "platform/engine/sqlite_util.h"

#include <sqlite3.h>

#include <cmath>
#include <cstring>

#include "platform/core/strutils.h"
#include "platform/data/variant.h"

namespace qel::engine {

void EngineError(const std::string& message, int code) {
    throw EDBEngineError(message, code);
}

std::string QuoteIdent(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

// ---- collation -----------------------------------------------------------------------------------

namespace {
uint32_t Fold(uint32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    if (c >= 0x100 && c <= 0x17F) {
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c % 2 == 1) ? c + 1 : c;
        return (c % 2 == 0) ? c + 1 : c;
    }
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    return c;
}
uint32_t NextCp(const unsigned char* s, int n, int& i) {
    unsigned char b = s[i];
    if (b < 0x80 || i + 1 >= n) return s[i++];
    if ((b & 0xE0) == 0xC0) {
        uint32_t c = ((b & 0x1Fu) << 6) | (s[i + 1] & 0x3Fu);
        i += 2;
        return c;
    }
    if ((b & 0xF0) == 0xE0 && i + 2 < n) {
        uint32_t c = ((b & 0x0Fu) << 12) | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3Fu);
        i += 3;
        return c;
    }
    if ((b & 0xF8) == 0xF0 && i + 3 < n) {
        uint32_t c =
            ((b & 0x07u) << 18) | ((s[i + 1] & 0x3Fu) << 12) | ((s[i + 2] & 0x3Fu) << 6) | (s[i + 3] & 0x3Fu);
        i += 4;
        return c;
    }
    return s[i++];
}
int CompareNoCase(void*, int n1, const void* p1, int n2, const void* p2) {
    auto* a = static_cast<const unsigned char*>(p1);
    auto* b = static_cast<const unsigned char*>(p2);
    int i = 0, j = 0;
    while (i < n1 && j < n2) {
        uint32_t x = Fold(NextCp(a, n1, i)), y = Fold(NextCp(b, n2, j));
        if (x != y) return x < y ? -1 : 1;
    }
    if (i < n1) return 1;
    if (j < n2) return -1;
    return 0;
}
} // namespace

void RegisterCollations(sqlite3* db) {
    sqlite3_create_collation(db, "QELNOCASE", SQLITE_UTF8, nullptr, CompareNoCase);
}

// ---- connection ----------------------------------------------------------------------------------

TSqlConnection::TSqlConnection(const std::string& fileName, bool create, bool readOnly)
    : FFileName(fileName) {
    int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (create && !readOnly) flags |= SQLITE_OPEN_CREATE;
    flags |= SQLITE_OPEN_NOMUTEX;
    int rc = sqlite3_open_v2(fileName.c_str(), &FDb, flags, nullptr);
    if (rc != SQLITE_OK) {
        std::string msg = FDb ? sqlite3_errmsg(FDb) : "out of memory";
        if (FDb) sqlite3_close_v2(FDb);
        FDb = nullptr;
        EngineError("Cannot open database file '" + fileName + "': " + msg, ecNotFound);
    }
    sqlite3_extended_result_codes(FDb, 1);
    sqlite3_busy_timeout(FDb, 2000);
    RegisterCollations(FDb);
    // Committed changes survive a crash: the journal is synced before and after every commit.
    if (!readOnly) {
        try {
            Exec("PRAGMA synchronous=FULL");
        } catch (...) {
            sqlite3_close_v2(FDb);
            FDb = nullptr;
            throw;
        }
    }
}

TSqlConnection::~TSqlConnection() {
    if (FDb) sqlite3_close_v2(FDb);
}

void TSqlConnection::Fail(const std::string& what) const {
    EngineError(what + ": " + sqlite3_errmsg(FDb), ecSql);
}

void TSqlConnection::Exec(const std::string& sql) {
    char* err = nullptr;
    int rc = sqlite3_exec(FDb, sql.c_str(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        std::string msg = err ? err : sqlite3_errstr(rc);
        sqlite3_free(err);
        EngineError(msg, ecSql);
    }
}

bool TSqlConnection::InTransaction() const {
    return FDb && sqlite3_get_autocommit(FDb) == 0;
}
int64_t TSqlConnection::Changes() const {
    return sqlite3_changes64(FDb);
}
int64_t TSqlConnection::LastInsertRowId() const {
    return sqlite3_last_insert_rowid(FDb);
}

// ---- statements ----------------------------------------------------------------------------------

TSqlStatement::TSqlStatement(TSqlConnection& conn, const std::string& sql) : FConn(&conn), FSql(sql) {
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v3(conn.Handle(), sql.c_str(), static_cast<int>(sql.size()),
                                SQLITE_PREPARE_PERSISTENT, &FStmt, &tail);
    if (rc != SQLITE_OK) {
        std::string msg = sqlite3_errmsg(conn.Handle());
        if (FStmt) sqlite3_finalize(FStmt);
        FStmt = nullptr;
        EngineError(msg, ecSql);
    }
    if (!FStmt) EngineError("Empty SQL statement", ecSql);
    while (tail && *tail && (*tail == ' ' || *tail == '\n' || *tail == '\r' || *tail == '\t' || *tail == ';'))
        ++tail;
    if (tail && *tail) {
        sqlite3_finalize(FStmt);
        FStmt = nullptr;
        EngineError("Only one SQL statement can be run at a time", ecSql);
    }
}

TSqlStatement::~TSqlStatement() {
    if (FStmt) sqlite3_finalize(FStmt);
}

TSqlStatement::TSqlStatement(TSqlStatement&& o) noexcept
    : FStmt(o.FStmt), FConn(o.FConn), FSql(std::move(o.FSql)) {
    o.FStmt = nullptr;
}

TSqlStatement& TSqlStatement::operator=(TSqlStatement&& o) noexcept {
    if (this != &o) {
        if (FStmt) sqlite3_finalize(FStmt);
        FStmt = o.FStmt;
        FConn = o.FConn;
        FSql = std::move(o.FSql);
        o.FStmt = nullptr;
    }
    return *this;
}

void TSqlStatement::Reset() {
    if (FStmt) {
        sqlite3_reset(FStmt);
        sqlite3_clear_bindings(FStmt);
    }
}
void TSqlStatement::BindNull(int i) {
    sqlite3_bind_null(FStmt, i);
}
void TSqlStatement::BindInt(int i, int64_t v) {
    sqlite3_bind_int64(FStmt, i, v);
}
void TSqlStatement::BindFloat(int i, double v) {
    sqlite3_bind_double(FStmt, i, v);
}
void TSqlStatement::BindText(int i, std::string_view v) {
    sqlite3_bind_text64(FStmt, i, v.data(), v.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}
void TSqlStatement::BindBlob(int i, std::string_view v) {
    sqlite3_bind_blob64(FStmt, i, v.data(), v.size(), SQLITE_TRANSIENT);
}
void TSqlStatement::Bind(int i, const TFieldValue& v, bool asBlob) {
    switch (v.Kind) {
    case TFieldValue::Int: BindInt(i, v.I); break;
    case TFieldValue::Float: BindFloat(i, v.F); break;
    case TFieldValue::Text:
        if (asBlob)
            BindBlob(i, v.S);
        else
            BindText(i, v.S);
        break;
    default: BindNull(i); break;
    }
}
int TSqlStatement::ParamCount() const {
    return sqlite3_bind_parameter_count(FStmt);
}

bool TSqlStatement::Step() {
    int rc = sqlite3_step(FStmt);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    std::string msg = sqlite3_errmsg(sqlite3_db_handle(FStmt));
    sqlite3_reset(FStmt);
    int code = (rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED ? ecLocked
               : (rc & 0xFF) == SQLITE_READONLY                           ? ecReadOnly
                                                                          : ecSql;
    EngineError(msg, code);
}

void TSqlStatement::Execute() {
    while (Step()) {
    }
}

int TSqlStatement::ColumnCount() const {
    return sqlite3_column_count(FStmt);
}
int TSqlStatement::ColumnType(int c) const {
    return sqlite3_column_type(FStmt, c);
}
bool TSqlStatement::IsNull(int c) const {
    return sqlite3_column_type(FStmt, c) == SQLITE_NULL;
}
int64_t TSqlStatement::ColumnInt(int c) const {
    return sqlite3_column_int64(FStmt, c);
}
double TSqlStatement::ColumnFloat(int c) const {
    return sqlite3_column_double(FStmt, c);
}
std::string_view TSqlStatement::ColumnText(int c) const {
    auto* p = reinterpret_cast<const char*>(sqlite3_column_text(FStmt, c));
    int n = sqlite3_column_bytes(FStmt, c);
    return p ? std::string_view(p, static_cast<size_t>(n)) : std::string_view();
}
std::string_view TSqlStatement::ColumnBlob(int c) const {
    auto* p = static_cast<const char*>(sqlite3_column_blob(FStmt, c));
    int n = sqlite3_column_bytes(FStmt, c);
    return p ? std::string_view(p, static_cast<size_t>(n)) : std::string_view();
}
std::string TSqlStatement::ColumnName(int c) const {
    const char* p = sqlite3_column_name(FStmt, c);
    return p ? p : "";
}
std::string TSqlStatement::ColumnDeclType(int c) const {
    const char* p = sqlite3_column_decltype(FStmt, c);
    return p ? p : "";
}
std::string TSqlStatement::ColumnTableName(int c) const {
    const char* p = sqlite3_column_table_name(FStmt, c);
    return p ? p : "";
}
std::string TSqlStatement::ColumnOriginName(int c) const {
    const char* p = sqlite3_column_origin_name(FStmt, c);
    return p ? p : "";
}
bool TSqlStatement::ReadOnly() const {
    return sqlite3_stmt_readonly(FStmt) != 0;
}

void TSqlStatement::ReadRaw(int c, TFieldValue& out) const {
    switch (sqlite3_column_type(FStmt, c)) {
    case SQLITE_INTEGER: out.SetInt(sqlite3_column_int64(FStmt, c)); break;
    case SQLITE_FLOAT: out.SetFloat(sqlite3_column_double(FStmt, c)); break;
    case SQLITE_TEXT: out.SetText(ColumnText(c)); break;
    case SQLITE_BLOB: out.SetText(ColumnBlob(c)); break;
    default: out.SetNull(); break;
    }
}

// ---- types ---------------------------------------------------------------------------------------

TFieldType FieldTypeOfDecl(std::string_view declType, int& size, bool autoInc) {
    std::string d = UpperCase(Trim(declType));
    size = 0;
    std::string base = d;
    if (auto p = d.find('('); p != std::string::npos) {
        base = Trim(d.substr(0, p));
        size_t q = d.find_first_of(",)", p + 1);
        std::string num = Trim(d.substr(p + 1, q == std::string::npos ? std::string::npos : q - p - 1));
        int64_t n = 0;
        if (dbconv::TryTextToInt(num, n) && n > 0 && n < 1000000) size = static_cast<int>(n);
        if (q != std::string::npos && d[q] == ',') {
            size_t r = d.find(')', q + 1);
            int64_t s = 0;
            if (dbconv::TryTextToInt(
                    Trim(d.substr(q + 1, r == std::string::npos ? std::string::npos : r - q - 1)), s) &&
                (base == "NUMERIC" || base == "DECIMAL"))
                size = static_cast<int>(s);
        }
    }
    if (base == "INTEGER" || base == "INT") return autoInc ? ftAutoInc : ftInteger;
    if (base == "AUTOINC" || base == "AUTOINCREMENT") return ftAutoInc;
    if (base == "SMALLINT" || base == "SHORT") return ftSmallint;
    if (base == "WORD") return ftWord;
    if (base == "BIGINT" || base == "LARGEINT" || base == "INT64") return ftLargeint;
    if (base == "BOOLEAN" || base == "BOOL" || base == "LOGICAL") return ftBoolean;
    if (base == "REAL" || base == "FLOAT" || base == "DOUBLE" || base == "DOUBLE PRECISION") return ftFloat;
    if (base == "MONEY" || base == "CURRENCY") return ftCurrency;
    if (base == "NUMERIC" || base == "DECIMAL" || base == "BCD") {
        if (declType.find('(') == std::string_view::npos) size = 4;
        return ftBCD;
    }
    if (base == "DATE") return ftDate;
    if (base == "TIME") return ftTime;
    if (base == "DATETIME" || base == "TIMESTAMP") return ftDateTime;
    if (base == "BYTES" || base == "BINARY") {
        if (size == 0) size = 16;
        return ftBytes;
    }
    if (base == "VARBYTES" || base == "VARBINARY") {
        if (size == 0) size = 16;
        return ftVarBytes;
    }
    if (base == "BLOB" || base.empty()) return ftBlob;
    if (base == "MEMO" || base == "CLOB") return ftMemo;
    if (base == "FMTMEMO") return ftFmtMemo;
    if (base == "GRAPHIC" || base == "IMAGE") return ftGraphic;
    if (base == "TEXT") {
        if (size > 0) return ftString;
        return ftMemo;
    }
    if (base.find("CHAR") != std::string::npos || base == "STRING" || base == "ALPHA") {
        if (size == 0) size = 255;
        return ftString;
    }
    if (base.find("INT") != std::string::npos) return ftInteger;
    if (size == 0) size = 255;
    return ftString;
}

bool IsBlobType(TFieldType t) {
    return t == ftBlob || t == ftMemo || t == ftGraphic || t == ftFmtMemo || t == ftTypedBinary ||
           t == ftOraBlob || t == ftOraClob || t == ftParadoxOle || t == ftDBaseOle;
}
bool IsTextType(TFieldType t) {
    return t == ftString || t == ftFixedChar || t == ftWideString || t == ftMemo || t == ftFmtMemo ||
           t == ftGuid;
}

void ToStorage(TFieldType type, const TFieldValue& in, TFieldValue& out) {
    if (in.IsNull() || in.Kind == TFieldValue::Unloaded) {
        out.SetNull();
        return;
    }
    switch (type) {
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftTimeStamp: {
        double d;
        if (in.Kind == TFieldValue::Float)
            d = in.F;
        else if (in.Kind == TFieldValue::Int)
            d = static_cast<double>(in.I);
        else if (!dbconv::TryTextToDateTime(in.S, d)) {
            out = in;
            return;
        }
        if (type == ftDate)
            out.SetText(dbconv::DateToText(d));
        else if (type == ftTime)
            out.SetText(dbconv::TimeToText(d));
        else {
            int h, n, s, ms;
            dbconv::DecodeTime(d, h, n, s, ms);
            char buf[32];
            if (ms)
                std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", h, n, s, ms);
            else
                std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", h, n, s);
            out.SetText(dbconv::DateToText(d) + " " + buf);
        }
        return;
    }
    case ftBoolean:
        if (in.Kind == TFieldValue::Int)
            out.SetInt(in.I != 0);
        else if (in.Kind == TFieldValue::Float)
            out.SetInt(in.F != 0);
        else {
            try {
                out.SetInt(dbconv::TextToBool(in.S) ? 1 : 0);
            } catch (const EConvertError&) {
                out = in;
            }
        }
        return;
    default: out = in; return;
    }
}

void FromStorage(TFieldType type, const TSqlStatement& st, int c, TFieldValue& out) {
    int t = st.ColumnType(c);
    if (t == SQLITE_NULL) {
        out.SetNull();
        return;
    }
    switch (type) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint:
    case ftBoolean:
        if (t == SQLITE_INTEGER)
            out.SetInt(st.ColumnInt(c));
        else if (t == SQLITE_FLOAT) {
            double d = st.ColumnFloat(c);
            if (d >= -9.2e18 && d <= 9.2e18)
                out.SetInt(static_cast<int64_t>(std::nearbyint(d)));
            else
                out.SetNull();
        } else {
            int64_t i;
            if (dbconv::TryTextToInt(st.ColumnText(c), i))
                out.SetInt(i);
            else if (type == ftBoolean) {
                try {
                    out.SetInt(dbconv::TextToBool(st.ColumnText(c)) ? 1 : 0);
                } catch (const EConvertError&) {
                    out.SetNull();
                }
            } else
                out.SetNull();
        }
        return;
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftFMTBcd:
        if (t == SQLITE_INTEGER || t == SQLITE_FLOAT)
            out.SetFloat(st.ColumnFloat(c));
        else {
            double d;
            if (dbconv::TryTextToFloat(st.ColumnText(c), d))
                out.SetFloat(d);
            else
                out.SetNull();
        }
        return;
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftTimeStamp:
        if (t == SQLITE_INTEGER || t == SQLITE_FLOAT)
            out.SetFloat(st.ColumnFloat(c));
        else {
            double d;
            if (dbconv::TryTextToDateTime(st.ColumnText(c), d))
                out.SetFloat(d);
            else
                out.SetNull();
        }
        return;
    default:
        if (t == SQLITE_BLOB)
            out.SetText(st.ColumnBlob(c));
        else if (t == SQLITE_TEXT)
            out.SetText(st.ColumnText(c));
        else if (t == SQLITE_INTEGER)
            out.SetText(std::to_string(st.ColumnInt(c)));
        else
            out.SetText(dbconv::FloatToText(st.ColumnFloat(c)));
        return;
    }
}

} // namespace qel::engine
