#pragma once
// TTable: one table of an engine database, ordered by an index, with key search, ranges,
// master-detail links and table services.
#include <memory>
#include <string>
#include <vector>

#include "platform/engine/dbdataset.h"

namespace qel {

QEL_ENUM(TTableType, ttDefault, ttParadox, ttDBase, ttASCII, ttFoxPro)

class TTable : public TDBDataSet {
    QEL_CLASS(TTable, TDBDataSet)
    explicit TTable(TComponent* owner);
    ~TTable() override;

    const std::string& GetTableName() const { return FTableName; }
    void SetTableName(const std::string& v);
    TTableType GetTableType() const { return FTableType; }
    void SetTableType(TTableType v) { FTableType = v; }
    bool GetExclusive() const { return FExclusive; }
    void SetExclusive(bool v);
    bool GetReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool v);
    TUpdateMode GetUpdateMode() const { return FUpdateMode; }
    void SetUpdateMode(TUpdateMode v) { FUpdateMode = v; }

    // ---- indexes
    TIndexDefs* IndexDefs() const { return FIndexDefs.get(); }
    void SetIndexDefs(TIndexDefs* v) { FIndexDefs->Assign(v); }
    const std::string& GetIndexName() const { return FIndexName; }
    void SetIndexName(const std::string& v);
    const std::string& GetIndexFieldNames() const { return FIndexFieldNames; }
    void SetIndexFieldNames(const std::string& v);
    void GetIndexNames(TStrings* list);
    int IndexFieldCount() const { return static_cast<int>(FIndexFields.size()); }
    TField* IndexFields(int index) const; // EListError out of range
    // Assigns `field`'s value to key field `index`.
    void SetIndexField(int index, TField* field);
    bool IsIndexField(const TField* field) const override;

    // ---- key search
    void SetKey();
    void EditKey();
    bool GotoKey();
    void GotoNearest();
    // Key values: a variant array (element i to key field i) or a single value (first key field).
    bool FindKey(const Variant& keyValues);
    void FindNearest(const Variant& keyValues);
    // Of the key buffer being edited (the lookup key outside dsSetKey).
    bool GetKeyExclusive() const;
    void SetKeyExclusive(bool v);
    int GetKeyFieldCount() const;
    void SetKeyFieldCount(int v);

    // ---- ranges
    void SetRangeStart();
    void SetRangeEnd();
    void EditRangeStart();
    void EditRangeEnd();
    void ApplyRange();
    void CancelRange();
    void SetRange(const Variant& startValues, const Variant& endValues);
    bool HasRange() const;

    // ---- master-detail
    TDataSource* GetMasterSource() const;
    void SetMasterSource(TDataSource* v);
    const std::string& GetMasterFields() const { return FMasterFields; }
    void SetMasterFields(const std::string& v);
    TDataSource* GetDataSource() const override { return GetMasterSource(); }

    // ---- table services
    void EmptyTable();
    // Creates the table from FieldDefs and IndexDefs (EDatabaseError when it exists).
    void CreateTable();
    void DeleteTable();
    bool Exists();
    void FlushBuffers() override;

    bool Locate(std::string_view keyFields, const Variant& keyValues, TLocateOptions options) override;
    bool BookmarkValid(const TBookmark& bookmark) const override;
    int CompareBookmarks(const TBookmark& a, const TBookmark& b) const override;
    TRecordBuffer* GetStateRecord() const override;
    void FetchBlob(TField* field, TRecordBuffer& record) const override;
    void ResetCursorStatements() override;
    void DataChangedBy(TDBDataSet* source) override;

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
    void InternalFieldsBound() override;
    void PostKeyBuffer(bool commit) override;
    void FilterChanged() override;
    void CursorFiltersChanged() override;
    bool LocateRecordInternal(const std::vector<TField*>& fields, const Variant& values,
                              TLocateOptions options) override;

private:
    friend struct TImpl;
    void SetKeyBuffer(int which, bool clear);
    void SetKeyFields(int which, const Variant& values);
    void SwitchOrder();
    void MasterChanged();
    void UpdateIndexDefs(TIndexDefs& defs);
    std::string FTableName;
    TTableType FTableType = ttDefault;
    bool FExclusive = false, FReadOnly = false;
    TUpdateMode FUpdateMode = upWhereAll;
    std::unique_ptr<TIndexDefs> FIndexDefs;
    std::string FIndexName, FIndexFieldNames, FMasterFields;
    std::vector<TField*> FIndexFields;
    std::unique_ptr<TImpl> FImpl;
};

} // namespace qel
