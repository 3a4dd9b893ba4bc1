#pragma once
// TDatabase: one connection to a database file of the engine, with its transactions and the
// datasets that use it.
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/core/strings.h"
#include "platform/data/params.h"
#include "platform/engine/session.h"
#include "platform/engine/sqlite_util.h"

namespace qel {

class TDBDataSet;

QEL_ENUM(TTransIsolation, tiDirtyRead, tiReadCommitted, tiRepeatableRead)

class TDatabase : public TComponent {
    QEL_CLASS(TDatabase, TComponent)
    explicit TDatabase(TComponent* owner);
    ~TDatabase() override;

    const std::string& GetDatabaseName() const { return FDatabaseName; }
    void SetDatabaseName(const std::string& v);
    const std::string& GetAliasName() const { return FAliasName; }
    void SetAliasName(const std::string& v);
    const std::string& GetDriverName() const { return FDriverName; }
    void SetDriverName(const std::string& v);
    TStrings* GetParams() const { return FParams.get(); }
    void SetParams(TStrings* v);
    const std::string& GetSessionName() const { return FSessionName; }
    void SetSessionName(const std::string& v);
    bool GetLoginPrompt() const { return FLoginPrompt; }
    void SetLoginPrompt(bool v) { FLoginPrompt = v; }
    bool GetKeepConnection() const { return FKeepConnection; }
    void SetKeepConnection(bool v) { FKeepConnection = v; }
    TTransIsolation GetTransIsolation() const { return FTransIsolation; }
    void SetTransIsolation(TTransIsolation v) { FTransIsolation = v; }
    bool GetReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool v);
    bool GetExclusive() const { return FExclusive; }
    void SetExclusive(bool v) { FExclusive = v; }
    bool Temporary() const { return FTemporary; }
    void SetTemporary(bool v) { FTemporary = v; }

    bool GetConnected() const { return FConnection != nullptr; }
    void SetConnected(bool v);
    void Open() { SetConnected(true); }
    void Close() { SetConnected(false); }
    // The local engine is not an SQL server.
    bool IsSQLBased() const { return false; }
    TSession* Session() const;
    // The database file in use (after connecting).
    const std::string& FileName() const { return FFileName; }

    void StartTransaction();
    void Commit();
    void Rollback();
    bool InTransaction() const;
    // Writes pending pages inside a transaction (no-op otherwise).
    void FlushBuffers();

    int DataSetCount() const { return static_cast<int>(FDataSets.size()); }
    TDBDataSet* DataSets(int index) const;
    void CloseDataSets();
    // Table names (without extensions), in creation order; system tables when asked.
    std::vector<std::string> TableNames(bool systemTables) const;
    // The actual name of a table: case-insensitive, a ".db"/".dbf" extension ignored; "" when missing.
    std::string ResolveTableName(const std::string& name) const;
    void Execute(const std::string& sql, TParams* params = nullptr);

    // Used by datasets.
    engine::TSqlConnection& Connection() const;
    void AddDataSet(TDBDataSet* ds);
    void RemoveDataSet(TDBDataSet* ds);
    // In-process exclusive use of tables; EDBEngineError "Table is busy" on conflict.
    void AcquireTable(const std::string& table, bool exclusive);
    void ReleaseTable(const std::string& table, bool exclusive);
    // Something changed the data (post, delete, rollback): open datasets drop cached counts.
    void DataChanged(TDBDataSet* source);

    TNotifyEvent AfterConnect, AfterDisconnect, BeforeConnect, BeforeDisconnect;

    void Loaded() override;

private:
    void ResyncDataSets();
    std::string FDatabaseName, FAliasName, FDriverName, FSessionName, FFileName;
    std::unique_ptr<TStringList> FParams;
    bool FLoginPrompt = true, FKeepConnection = true, FReadOnly = false, FExclusive = false,
         FTemporary = false;
    bool FStreamedConnected = false;
    TTransIsolation FTransIsolation = tiReadCommitted;
    std::unique_ptr<engine::TSqlConnection> FConnection;
    std::vector<TDBDataSet*> FDataSets;
    std::map<std::string, std::pair<int, bool>> FTableUse; // lower-case name -> (users, exclusive)
    TSession* FSession = nullptr;
};

} // namespace qel
