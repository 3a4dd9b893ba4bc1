#pragma once
// TQuery (an SQL statement with ":name" parameters, live results over one table, parameters from
// a master data source) and TStoredProc (present for completeness: the engine has none).
#include <memory>
#include <string>
#include <vector>

#include "platform/core/strings.h"
#include "platform/engine/dbdataset.h"

namespace qel {

class TQuery : public TDBDataSet {
    QEL_CLASS(TQuery, TDBDataSet)
    explicit TQuery(TComponent* owner);
    ~TQuery() override;

    TStrings* SQL() const { return FSQL.get(); }
    void SetSQL(TStrings* v);
    // The statement as given to the engine (":name" replaced by "?", local SQL words translated).
    const std::string& Text() const { return FText; }
    TParams* Params() const { return FParams.get(); }
    void SetParams(TParams* v) { FParams->Assign(v); }
    int ParamCount() const { return FParams->Count(); }
    TParam* ParamByName(std::string_view name) const { return FParams->ParamByName(name); }
    TDataSource* GetDataSource() const override;
    void SetDataSource(TDataSource* v);
    bool GetRequestLive() const { return FRequestLive; }
    void SetRequestLive(bool v);
    bool GetUniDirectional() const { return FUniDirectional; }
    void SetUniDirectional(bool v);
    bool IsUniDirectional() const override { return FUniDirectional; }
    bool Local() const { return true; }
    TUpdateMode GetUpdateMode() const { return FUpdateMode; }
    void SetUpdateMode(TUpdateMode v) { FUpdateMode = v; }
    bool Prepared() const { return FPrepared; }
    void SetPrepared(bool v);
    void Prepare() { SetPrepared(true); }
    void UnPrepare() { SetPrepared(false); }
    // Runs a statement that returns no rows; RowsAffected tells how many rows it changed.
    void ExecSQL();
    int RowsAffected() const { return FRowsAffected; }

    bool BookmarkValid(const TBookmark& bookmark) const override;
    int CompareBookmarks(const TBookmark& a, const TBookmark& b) const override;
    void FetchBlob(TField* field, TRecordBuffer& record) const override {
        record.Values[field->Slot()].SetNull();
    }
    void ResetCursorStatements() override;

    struct TImpl;

protected:
    void InternalOpen() override;
    void InternalClose() override;
    void InternalInitFieldDefs() override;
    bool IsCursorOpen() const override;
    TGetResult GetRecord(TRecordBuffer& buffer, TGetMode mode) override;
    void InternalFirst() override;
    void InternalLast() override;
    void InternalSetToRecord(const TRecordBuffer& buffer) override;
    bool InternalGotoBookmark(const TBookmark& bookmark) override;
    void InternalPost() override;
    void InternalDelete() override;
    void InternalRefresh() override;
    int GetRecordCount() const override;
    int GetRecNoInternal() const override;
    void SetRecNoInternal(int value) override;
    bool GetCanModify() const override;
    std::unique_ptr<TRecordBuffer> AllocRecordBuffer() const override;

private:
    friend struct TImpl;
    void SQLChanged(TObject* sender);
    void MasterChanged();
    void BindParams();
    std::unique_ptr<TStringList> FSQL;
    std::unique_ptr<TParams> FParams;
    std::string FText;
    std::vector<std::string> FParamOrder;
    bool FRequestLive = false, FUniDirectional = false, FPrepared = false;
    TUpdateMode FUpdateMode = upWhereAll;
    int FRowsAffected = -1;
    std::unique_ptr<TImpl> FImpl;
};

class TStoredProc : public TDBDataSet {
    QEL_CLASS(TStoredProc, TDBDataSet)
    explicit TStoredProc(TComponent* owner);
    ~TStoredProc() override;

    const std::string& GetStoredProcName() const { return FStoredProcName; }
    void SetStoredProcName(const std::string& v) { FStoredProcName = v; }
    TParams* Params() const { return FParams.get(); }
    void SetParams(TParams* v) { FParams->Assign(v); }
    int ParamCount() const { return FParams->Count(); }
    TParam* ParamByName(std::string_view name) const { return FParams->ParamByName(name); }
    TParamBindMode GetParamBindMode() const { return FParamBindMode; }
    void SetParamBindMode(TParamBindMode v) { FParamBindMode = v; }
    int GetOverload() const { return FOverload; }
    void SetOverload(int v) { FOverload = v; }
    bool DescriptionsAvailable() const { return false; }
    bool Prepared() const { return false; }
    // Both raise EDatabaseError: this engine has no stored procedures.
    void Prepare();
    void ExecProc();

protected:
    void InternalOpen() override;
    void InternalClose() override {}
    void InternalInitFieldDefs() override {}
    bool IsCursorOpen() const override { return false; }
    TGetResult GetRecord(TRecordBuffer&, TGetMode) override { return grEOF; }
    void InternalFirst() override {}
    void InternalLast() override {}
    void InternalSetToRecord(const TRecordBuffer&) override {}
    bool InternalGotoBookmark(const TBookmark&) override { return false; }
    void InternalPost() override {}
    void InternalDelete() override {}
    bool GetCanModify() const override { return false; }

private:
    std::string FStoredProcName;
    std::unique_ptr<TParams> FParams;
    TParamBindMode FParamBindMode = pbByName;
    int FOverload = 0;
};

} // namespace qel
