#include "platform/engine/database.h"

#include <algorithm>

#include "platform/core/strutils.h"
#include "platform/engine/dbdataset.h"

namespace qel {

using namespace engine;

TDatabase::TDatabase(TComponent* owner) : TComponent(owner), FParams(std::make_unique<TStringList>()) {}

TDatabase::~TDatabase() {
    Destroying();
    try {
        Close();
    } catch (...) {
    }
    if (FSession) FSession->UnregisterDatabase(this);
}

TSession* TDatabase::Session() const {
    if (FSession) return FSession;
    return Sessions().OpenSession(FSessionName);
}

void TDatabase::SetDatabaseName(const std::string& v) {
    if (v == FDatabaseName) return;
    if (GetConnected()) DatabaseError("Cannot perform this operation on a connected database", GetName());
    TSession* s = Session();
    if (!v.empty()) {
        TDatabase* other = s->FindDatabase(v);
        if (other && other != this) DatabaseError("Duplicate database name '" + v + "'", GetName());
    }
    FDatabaseName = v;
    if (!v.empty()) {
        s->RegisterDatabase(this);
        FSession = s;
    } else if (FSession) {
        FSession->UnregisterDatabase(this);
        FSession = nullptr;
    }
}

void TDatabase::SetAliasName(const std::string& v) {
    if (GetConnected()) DatabaseError("Cannot perform this operation on a connected database", GetName());
    FAliasName = v;
    if (!v.empty()) FDriverName.clear();
}

void TDatabase::SetDriverName(const std::string& v) {
    if (GetConnected()) DatabaseError("Cannot perform this operation on a connected database", GetName());
    FDriverName = v;
    if (!v.empty()) FAliasName.clear();
}

void TDatabase::SetParams(TStrings* v) {
    FParams->Assign(v);
}

void TDatabase::SetSessionName(const std::string& v) {
    if (v == FSessionName) return;
    if (GetConnected()) DatabaseError("Cannot perform this operation on a connected database", GetName());
    if (FSession) FSession->UnregisterDatabase(this);
    FSessionName = v;
    FSession = nullptr;
    if (!FDatabaseName.empty()) {
        FSession = Session();
        FSession->RegisterDatabase(this);
    }
}

void TDatabase::SetReadOnly(bool v) {
    if (GetConnected()) DatabaseError("Cannot perform this operation on a connected database", GetName());
    FReadOnly = v;
}

void TDatabase::Loaded() {
    TComponent::Loaded();
    if (FStreamedConnected) {
        FStreamedConnected = false;
        SetConnected(true);
    }
}

void TDatabase::SetConnected(bool v) {
    if (IsLoading()) {
        FStreamedConnected = v;
        return;
    }
    if (v == GetConnected()) return;
    if (v) {
        if (BeforeConnect) BeforeConnect(this);
        TSession* s = Session();
        std::string file;
        if (!FAliasName.empty()) {
            if (!s->IsAlias(FAliasName)) EngineError("Unknown database alias: " + FAliasName, ecNotFound);
            file = s->ResolveDatabaseFile(FAliasName);
        } else {
            bool hasPath = false;
            for (int i = 0; i < FParams->Count(); ++i) {
                std::string line = FParams->Get(i);
                if (line.size() >= 5 && SameText(line.substr(0, 5), "PATH=") && !Trim(line.substr(5)).empty())
                    hasPath = true;
            }
            if (hasPath)
                file = s->ResolveDatabaseFile("", FDriverName, FParams.get());
            else if (!FDatabaseName.empty())
                file = s->ResolveDatabaseFile(FDatabaseName);
            else
                DatabaseError("Database name missing", GetName());
        }
        FConnection = std::make_unique<TSqlConnection>(file, true, FReadOnly);
        FFileName = file;
        if (AfterConnect) AfterConnect(this);
    } else {
        if (BeforeDisconnect) BeforeDisconnect(this);
        CloseDataSets();
        if (FConnection && FConnection->InTransaction()) {
            try {
                FConnection->Exec("ROLLBACK");
            } catch (...) {
            }
        }
        FConnection.reset();
        FTableUse.clear();
        if (AfterDisconnect) AfterDisconnect(this);
    }
}

TSqlConnection& TDatabase::Connection() const {
    if (!FConnection)
        DatabaseError("Database is not connected", GetName().empty() ? FDatabaseName : GetName());
    return *FConnection;
}

void TDatabase::StartTransaction() {
    TSqlConnection& c = Connection();
    if (c.InTransaction()) EngineError("A transaction is already active", ecSql);
    c.Exec("BEGIN IMMEDIATE");
}

void TDatabase::Commit() {
    TSqlConnection& c = Connection();
    if (!c.InTransaction()) EngineError("No transaction is active", ecNoTransaction);
    for (TDBDataSet* ds : FDataSets) ds->ResetCursorStatements();
    c.Exec("COMMIT");
}

void TDatabase::Rollback() {
    TSqlConnection& c = Connection();
    if (!c.InTransaction()) EngineError("No transaction is active", ecNoTransaction);
    for (TDBDataSet* ds : FDataSets) ds->ResetCursorStatements();
    c.Exec("ROLLBACK");
    // Every open dataset of this database shows the data as it is again.
    ResyncDataSets();
}

void TDatabase::ResyncDataSets() {
    for (TDBDataSet* ds : std::vector<TDBDataSet*>(FDataSets)) {
        ds->DataChangedBy(nullptr);
        if (ds->GetActive() && ds->State() == dsBrowse && !ds->IsUniDirectional()) {
            try {
                ds->Refresh();
            } catch (const EDatabaseError&) {
                // A dataset that cannot be refreshed keeps its records until it is used again.
            }
        }
    }
}

bool TDatabase::InTransaction() const {
    return FConnection && FConnection->InTransaction();
}

void TDatabase::FlushBuffers() {
    if (!FConnection || !FConnection->InTransaction()) return;
    // Writes dirty pages to the journal so memory is freed; the transaction stays open.
    FConnection->Exec("PRAGMA shrink_memory");
}

TDBDataSet* TDatabase::DataSets(int index) const {
    if (index < 0 || index >= DataSetCount())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return FDataSets[static_cast<size_t>(index)];
}

void TDatabase::CloseDataSets() {
    for (TDBDataSet* ds : std::vector<TDBDataSet*>(FDataSets)) ds->Close();
}

void TDatabase::AddDataSet(TDBDataSet* ds) {
    if (std::find(FDataSets.begin(), FDataSets.end(), ds) == FDataSets.end()) FDataSets.push_back(ds);
}

void TDatabase::RemoveDataSet(TDBDataSet* ds) {
    FDataSets.erase(std::remove(FDataSets.begin(), FDataSets.end(), ds), FDataSets.end());
}

std::vector<std::string> TDatabase::TableNames(bool systemTables) const {
    TSqlConnection& c = Connection();
    TSqlStatement st(c, "SELECT name FROM sqlite_master WHERE type='table' ORDER BY rowid");
    std::vector<std::string> out;
    while (st.Step()) {
        std::string n(st.ColumnText(0));
        if (!systemTables && n.rfind("sqlite_", 0) == 0) continue;
        out.push_back(n);
    }
    return out;
}

std::string TDatabase::ResolveTableName(const std::string& name) const {
    std::string n = Trim(name);
    if (auto slash = n.find_last_of("/\\"); slash != std::string::npos) n = n.substr(slash + 1);
    std::string lower = LowerCase(n);
    for (const char* ext : {".db", ".dbf", ".dat"}) {
        std::string e = ext;
        if (lower.size() > e.size() && lower.compare(lower.size() - e.size(), e.size(), e) == 0) {
            n = n.substr(0, n.size() - e.size());
            break;
        }
    }
    if (n.empty()) return {};
    for (const std::string& t : TableNames(false))
        if (SameText(t, n)) return t;
    return {};
}

void TDatabase::Execute(const std::string& sql, TParams* params) {
    TSqlConnection& c = Connection();
    std::vector<std::string> order;
    TParams local;
    TParams* p = params ? params : &local;
    std::string text = p->ParseSQL(sql, params == nullptr, &order);
    TSqlStatement st(c, text);
    for (size_t i = 0; i < order.size(); ++i) {
        TParam* prm = p->FindParam(order[i]);
        if (!prm) DatabaseError("Parameter '" + order[i] + "' not found");
        Variant v = prm->GetValue();
        int idx = static_cast<int>(i + 1);
        switch (v.Type()) {
        case TVarType::Empty:
        case TVarType::Null: st.BindNull(idx); break;
        case TVarType::Boolean:
        case TVarType::Integer: st.BindInt(idx, v.AsInteger()); break;
        case TVarType::Float:
        case TVarType::Currency: st.BindFloat(idx, v.AsFloat()); break;
        case TVarType::Bytes: st.BindBlob(idx, v.Bytes()); break;
        default: st.BindText(idx, v.AsString()); break;
        }
    }
    st.Execute();
    for (TDBDataSet* ds : FDataSets) ds->DataChangedBy(nullptr);
}

void TDatabase::AcquireTable(const std::string& table, bool exclusive) {
    auto& use = FTableUse[LowerCase(table)];
    if (use.first > 0 && (exclusive || use.second))
        EngineError("Table is busy: " + table + " is in use" + (use.second ? " exclusively" : ""), ecLocked);
    ++use.first;
    use.second = exclusive;
}

void TDatabase::ReleaseTable(const std::string& table, bool exclusive) {
    auto it = FTableUse.find(LowerCase(table));
    if (it == FTableUse.end()) return;
    if (--it->second.first <= 0)
        FTableUse.erase(it);
    else if (exclusive)
        it->second.second = false;
}

void TDatabase::DataChanged(TDBDataSet* source) {
    for (TDBDataSet* ds : FDataSets)
        if (ds != source) ds->DataChangedBy(source);
}

QEL_IMPLEMENT_CLASS(TDatabase, [](auto& c) {
    c.Property("AliasName", &TDatabase::GetAliasName, &TDatabase::SetAliasName);
    c.Property("Connected", &TDatabase::GetConnected, &TDatabase::SetConnected).Default(false);
    c.Property("DatabaseName", &TDatabase::GetDatabaseName, &TDatabase::SetDatabaseName);
    c.Property("DriverName", &TDatabase::GetDriverName, &TDatabase::SetDriverName);
    c.Property("Exclusive", &TDatabase::GetExclusive, &TDatabase::SetExclusive).Default(false);
    c.Property("KeepConnection", &TDatabase::GetKeepConnection, &TDatabase::SetKeepConnection).Default(true);
    c.Property("LoginPrompt", &TDatabase::GetLoginPrompt, &TDatabase::SetLoginPrompt).Default(true);
    c.Object("Params", &TDatabase::GetParams, &TDatabase::SetParams);
    c.Property("ReadOnly", &TDatabase::GetReadOnly, &TDatabase::SetReadOnly).Default(false);
    c.Property("SessionName", &TDatabase::GetSessionName, &TDatabase::SetSessionName);
    c.Property("TransIsolation", &TDatabase::GetTransIsolation, &TDatabase::SetTransIsolation)
        .Default(tiReadCommitted);
})

} // namespace qel
