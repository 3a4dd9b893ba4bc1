#pragma once
// Datasets of the database engine: TBDEDataSet and TDBDataSet (database and session binding,
// private cursor filters), the bases of TTable, TQuery and TStoredProc.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/data/dataset.h"
#include "platform/data/params.h"
#include "platform/engine/database.h"

namespace qel {

QEL_ENUM(TUpdateMode, upWhereAll, upWhereChanged, upWhereKeyOnly)

// A private filter of an engine cursor.
using hDBIFilter = int;
// Called for each candidate record: true accepts it. `record` is the candidate's buffer; read its
// fields with TDBDataSet::ReadRecordField (or through the dataset's fields, which see it).
using TCursorFilterCallback = std::function<bool(void* clientData, const TRecordBuffer& record)>;

class TBDEDataSet : public TDataSet {
    QEL_CLASS(TBDEDataSet, TDataSet)
    explicit TBDEDataSet(TComponent* owner);
    ~TBDEDataSet() override;

    // ---- private cursor filters (they live on the dataset and survive Close/Open)
    // Adds an inactive filter: an expression compiled for this dataset, or a callback (one of the
    // two). Priority orders evaluation (lower first).
    hDBIFilter AddFilter(void* clientData, uint16_t priority, bool canAbort,
                         std::shared_ptr<const TFilterExpr> expr, TCursorFilterCallback callback);
    void ActivateFilter(hDBIFilter filter);
    void DeactivateFilter(hDBIFilter filter);
    void DropFilter(hDBIFilter filter);
    bool FilterActive(hDBIFilter filter) const;
    int FilterCount() const { return static_cast<int>(FCursorFilters.size()); }
    // Compiles a filter text against this dataset's fields (open datasets only).
    std::unique_ptr<TFilterExpr> CompileCursorFilter(const std::string& text, TFilterOptions options);
    // Reads a field of a candidate record (during a filter callback): false when the value is blank.
    bool ReadRecordField(const TRecordBuffer& record, std::string_view fieldName, Variant& value);
    // An open engine cursor exists (the dataset is open).
    bool HasCursor() const { return IsCursorOpen(); }
    // Blocks records written by the engine are flushed (a no-op outside transactions).
    virtual void FlushBuffers() {}

protected:
    // Every active private filter accepts the record (evaluated in priority order).
    bool CursorFiltersAccept(TRecordBuffer& record);
    bool HasActiveCursorFilters() const;
    // Re-reads the records after the private filters changed.
    virtual void CursorFiltersChanged();

private:
    struct TCursorFilter {
        hDBIFilter Handle = 0;
        void* ClientData = nullptr;
        uint16_t Priority = 0;
        bool CanAbort = false;
        bool Active = false;
        std::shared_ptr<const TFilterExpr> Expr;
        TCursorFilterCallback Callback;
    };
    TCursorFilter& FindFilter(hDBIFilter h);
    std::vector<TCursorFilter> FCursorFilters;
    hDBIFilter FNextFilter = 1;
};

class TDBDataSet : public TBDEDataSet {
    QEL_CLASS(TDBDataSet, TBDEDataSet)
    explicit TDBDataSet(TComponent* owner);
    ~TDBDataSet() override;

    const std::string& GetDatabaseName() const { return FDatabaseName; }
    void SetDatabaseName(const std::string& v);
    const std::string& GetSessionName() const { return FSessionName; }
    void SetSessionName(const std::string& v);
    // The database in use (set while open).
    TDatabase* Database() const { return FDatabase; }
    TSession* DBSession() const;
    // The engine connection handle (nullptr while closed).
    void* DBHandle() const;
    void FlushBuffers() override;

    // Called by the database around commits and rollbacks and after changes by other datasets.
    virtual void ResetCursorStatements() {}
    virtual void DataChangedBy(TDBDataSet* source) {}

protected:
    // Connects the database named by DatabaseName (through the session).
    TDatabase* OpenDatabase();
    void CloseDatabase();

private:
    std::string FDatabaseName, FSessionName;
    TDatabase* FDatabase = nullptr;
};

} // namespace qel
