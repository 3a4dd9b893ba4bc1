#pragma once
// Thin RAII wrappers over the SQLite C interface used by the engine: a connection, prepared
// statements with bound values, identifier quoting and the engine's error reporting.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/data/fields.h"

struct sqlite3;
struct sqlite3_stmt;

namespace qel::engine {

// Error codes of the engine (reported in EDBEngineError::ErrorCode).
enum : int {
    ecOk = 0,
    ecNotFound = 8710,  // table, alias or database missing
    ecLocked = 10243,   // table is busy (exclusive use)
    ecReadOnly = 10253, // cannot modify
    ecNoTransaction = 10499,
    ecInvalidHandle = 9986, // unknown or dropped filter handle
    ecSql = 13059,          // SQLite reported an error
    ecNotSupported = 12289,
};

[[noreturn]] void EngineError(const std::string& message, int code);

// Double-quotes an identifier for SQL ("a""b").
std::string QuoteIdent(std::string_view name);

class TSqlStatement;

class TSqlConnection {
public:
    // Opens (creating when `create`) the database file; EDBEngineError on failure.
    TSqlConnection(const std::string& fileName, bool create, bool readOnly);
    ~TSqlConnection();
    TSqlConnection(const TSqlConnection&) = delete;
    TSqlConnection& operator=(const TSqlConnection&) = delete;

    sqlite3* Handle() const { return FDb; }
    const std::string& FileName() const { return FFileName; }
    // Runs statements without results (no parameters: only for fixed text built by the engine).
    void Exec(const std::string& sql);
    bool InTransaction() const;
    int64_t Changes() const;
    int64_t LastInsertRowId() const;
    [[noreturn]] void Fail(const std::string& what) const;

private:
    sqlite3* FDb = nullptr;
    std::string FFileName;
};

class TSqlStatement {
public:
    TSqlStatement() = default;
    TSqlStatement(TSqlConnection& conn, const std::string& sql);
    ~TSqlStatement();
    TSqlStatement(TSqlStatement&& o) noexcept;
    TSqlStatement& operator=(TSqlStatement&& o) noexcept;
    TSqlStatement(const TSqlStatement&) = delete;
    TSqlStatement& operator=(const TSqlStatement&) = delete;

    bool Valid() const { return FStmt != nullptr; }
    sqlite3_stmt* Handle() const { return FStmt; }
    const std::string& Sql() const { return FSql; }
    void Reset();
    // Binds 1-based parameters.
    void BindNull(int i);
    void BindInt(int i, int64_t v);
    void BindFloat(int i, double v);
    void BindText(int i, std::string_view v);
    void BindBlob(int i, std::string_view v);
    void Bind(int i, const TFieldValue& v, bool asBlob = false);
    int ParamCount() const;
    // Steps once: true with a row, false when done; EDBEngineError on failure.
    bool Step();
    // Runs to completion (statements without rows).
    void Execute();

    int ColumnCount() const;
    int ColumnType(int c) const; // SQLITE_INTEGER ... SQLITE_NULL
    bool IsNull(int c) const;
    int64_t ColumnInt(int c) const;
    double ColumnFloat(int c) const;
    std::string_view ColumnText(int c) const;
    std::string_view ColumnBlob(int c) const;
    std::string ColumnName(int c) const;
    std::string ColumnDeclType(int c) const;
    std::string ColumnTableName(int c) const;
    std::string ColumnOriginName(int c) const;
    // The value as stored (integer, float, text or blob bytes, null).
    void ReadRaw(int c, TFieldValue& out) const;
    bool ReadOnly() const;

private:
    sqlite3_stmt* FStmt = nullptr;
    TSqlConnection* FConn = nullptr;
    std::string FSql;
};

// Registers the engine's collations on a connection ("QELNOCASE": Unicode-aware case-insensitive).
void RegisterCollations(sqlite3* db);

// Field type of a declared column type, with its size ("VARCHAR(30)" -> ftString, 30).
TFieldType FieldTypeOfDecl(std::string_view declType, int& size, bool autoInc);

// Converts between a field's value in a record buffer and its stored SQLite form.
void ToStorage(TFieldType type, const TFieldValue& in, TFieldValue& out);
void FromStorage(TFieldType type, const TSqlStatement& st, int column, TFieldValue& out);
bool IsBlobType(TFieldType type);
bool IsTextType(TFieldType type);

} // namespace qel::engine
