#pragma once
// TDataSet (states, the buffered record window, navigation, editing, bookmarks, filters, calculated
// and lookup fields), TDataLink and TDataSource: the contract between datasets and data controls.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/strings.h"
#include "platform/data/fields.h"
#include "platform/data/filter_expr.h"
#include "platform/data/indexdefs.h"

namespace qel {

class TDataLink;
class TDataSource;

QEL_ENUM(TDataSetState, dsInactive, dsBrowse, dsEdit, dsInsert, dsSetKey, dsCalcFields, dsFilter, dsNewValue,
         dsOldValue, dsCurValue, dsBlockRead, dsInternalCalc, dsOpening)
QEL_ENUM(TDataEvent, deFieldChange, deRecordChange, deDataSetChange, deDataSetScroll, deLayoutChange,
         deUpdateRecord, deUpdateState, deCheckBrowseMode, dePropertyChange, deFieldListChange,
         deFocusControl, deParentScroll, deConnectChange, deReconcileError, deDisabledStateChange)
QEL_ENUM(TLocateOption, loCaseInsensitive, loPartialKey)
using TLocateOptions = Set<TLocateOption>;
QEL_ENUM(TDataAction, daFail, daAbort, daRetry)

enum TGetMode { gmCurrent, gmNext, gmPrior };
enum TGetResult { grOK, grBOF, grEOF, grError };
enum TResyncModeItem { rmExact, rmCenter };
using TResyncMode = Set<TResyncModeItem>;

// States in which a link is "editing".
inline bool IsEditMode(TDataSetState s) {
    return s == dsEdit || s == dsInsert || s == dsSetKey;
}

using TDataSetNotifyEvent = TEvent<void(TDataSet* DataSet)>;
using TDataSetErrorEvent = TEvent<void(TDataSet* DataSet, EDatabaseError& E, TDataAction& Action)>;
using TFilterRecordEvent = TEvent<void(TDataSet* DataSet, bool& Accept)>;

class TDataSet : public TComponent {
    QEL_CLASS(TDataSet, TComponent)
    explicit TDataSet(TComponent* owner);
    ~TDataSet() override;

    // ---- opening and state
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    bool GetActive() const { return FState != dsInactive && FState != dsOpening; }
    void SetActive(bool value);
    TDataSetState State() const { return FState; }
    bool Modified() const { return FModified; }
    bool CanModify() const { return GetCanModify(); }
    virtual bool IsUniDirectional() const { return false; }
    bool DefaultFields() const { return FDefaultFields; }
    bool GetAutoCalcFields() const { return FAutoCalcFields; }
    void SetAutoCalcFields(bool v) { FAutoCalcFields = v; }
    // The master data source of a detail dataset (none for a plain dataset).
    virtual TDataSource* GetDataSource() const { return nullptr; }
    bool IsLinkedTo(TDataSource* source) const;

    // ---- fields
    TFieldDefs* FieldDefs() const { return FFieldDefs.get(); }
    TFields& Fields() const { return *FFields; }
    int FieldCount() const { return FFields->Count(); }
    TField* FindField(std::string_view name) const { return FFields->FindField(name); }
    TField* FieldByName(std::string_view name) const { return FFields->FieldByName(name); }
    TField* FieldByNumber(int fieldNo) const { return FFields->FieldByNumber(fieldNo); }
    void GetFieldNames(TStrings* list) const;
    // "A;B" reads a variant array of the fields' values; one name reads the value.
    Variant GetFieldValues(std::string_view names) const;
    void SetFieldValues(std::string_view names, const Variant& value);
    // The fields named in "A;B" (EDatabaseError for a missing one).
    std::vector<TField*> GetFieldList(std::string_view names) const;
    // Sum of the data fields' sizes.
    int RecordSize() const;
    // Frees the default fields and creates them again from FieldDefs (closed datasets only).
    void CreateDefaultFields();

    // ---- navigation
    void First();
    void Last();
    void Next() { MoveBy(1); }
    void Prior() { MoveBy(-1); }
    int MoveBy(int distance);
    bool Bof() const { return FBOF; }
    bool Eof() const { return FEOF; }
    bool IsEmpty() const { return FActiveRecord >= FRecordCount; }
    // Number of records visible through range and filters; 0 (never an error) when closed.
    int RecordCount() const;
    // 1-based position in the visible ordered records; 0 when unknown (inserting, closed).
    int GetRecNo() const;
    void SetRecNo(int value);
    void Refresh();
    void Resync(TResyncMode mode);
    void UpdateCursorPos();
    void CursorPosChanged() { FCurrentRecord = -1; }

    // ---- editing
    void Append();
    void Insert();
    void Edit();
    void Post();
    void Cancel();
    void Delete();
    void CheckBrowseMode();
    void UpdateRecord();
    // Clears every field of the record being edited.
    void ClearFields();
    // Appends/inserts a record with the given values and posts it.
    void AppendRecord(const std::vector<Variant>& values);
    void InsertRecord(const std::vector<Variant>& values);

    // ---- bookmarks
    TBookmark GetBookmark() const;
    void GotoBookmark(const TBookmark& bookmark); // EDatabaseError "Record not found" when gone
    void FreeBookmark(TBookmark& bookmark) const { bookmark.clear(); }
    virtual bool BookmarkValid(const TBookmark& bookmark) const;
    virtual int CompareBookmarks(const TBookmark& a, const TBookmark& b) const;
    TBookmarkStr GetBookmarkStr() const { return GetBookmark(); }
    void SetBookmarkStr(const TBookmarkStr& b) { GotoBookmark(b); }

    // ---- filter
    const std::string& GetFilter() const { return FFilterText; }
    void SetFilter(const std::string& text);
    bool GetFiltered() const { return FFiltered; }
    void SetFiltered(bool value);
    TFilterOptions GetFilterOptions() const { return FFilterOptions; }
    void SetFilterOptions(TFilterOptions value);
    TFilterRecordEvent GetOnFilterRecord() const { return FOnFilterRecord; }
    void SetOnFilterRecord(TFilterRecordEvent e);
    // The compiled filter text while Filtered is on (nullptr otherwise).
    const TFilterExpr* FilterExpr() const { return FFilterExpr.get(); }

    // ---- searching
    virtual bool Locate(std::string_view keyFields, const Variant& keyValues, TLocateOptions options);
    virtual Variant Lookup(std::string_view keyFields, const Variant& keyValues,
                           std::string_view resultFields);

    // ---- data controls
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return FDisableCount != 0; }
    int ActiveRecord() const { return FActiveRecord; }
    int BufferCount() const { return FBufferCount; }
    int BufferedRecordCount() const { return FRecordCount; }
    // Sends `event` to every data source (and its links) unless controls are disabled.
    void DataEvent(TDataEvent event, intptr_t info);

    // ---- events
#define QEL_DS_EVENT(Name)                                                                                   \
    TDataSetNotifyEvent Get##Name() const {                                                                  \
        return F##Name;                                                                                      \
    }                                                                                                        \
    void Set##Name(TDataSetNotifyEvent e) {                                                                  \
        F##Name = e;                                                                                         \
    }
    QEL_DS_EVENT(BeforeOpen)
    QEL_DS_EVENT(AfterOpen)
    QEL_DS_EVENT(BeforeClose)
    QEL_DS_EVENT(AfterClose)
    QEL_DS_EVENT(BeforeInsert)
    QEL_DS_EVENT(AfterInsert)
    QEL_DS_EVENT(BeforeEdit)
    QEL_DS_EVENT(AfterEdit)
    QEL_DS_EVENT(BeforePost)
    QEL_DS_EVENT(AfterPost)
    QEL_DS_EVENT(BeforeCancel)
    QEL_DS_EVENT(AfterCancel)
    QEL_DS_EVENT(BeforeDelete)
    QEL_DS_EVENT(AfterDelete)
    QEL_DS_EVENT(BeforeScroll)
    QEL_DS_EVENT(AfterScroll)
    QEL_DS_EVENT(BeforeRefresh)
    QEL_DS_EVENT(AfterRefresh)
    QEL_DS_EVENT(OnNewRecord)
    QEL_DS_EVENT(OnCalcFields)
#undef QEL_DS_EVENT
    TDataSetErrorEvent GetOnPostError() const {
        return FOnPostError;
    }
    void SetOnPostError(TDataSetErrorEvent e) {
        FOnPostError = e;
    }
    TDataSetErrorEvent GetOnDeleteError() const {
        return FOnDeleteError;
    }
    void SetOnDeleteError(TDataSetErrorEvent e) {
        FOnDeleteError = e;
    }
    TDataSetErrorEvent GetOnEditError() const {
        return FOnEditError;
    }
    void SetOnEditError(TDataSetErrorEvent e) {
        FOnEditError = e;
    }

    // ---- used by fields and links
    // The record whose values fields read and write in the current state (nullptr: none).
    virtual TRecordBuffer* GetStateRecord() const;
    // Stores a value written through a field (state and read-only checks, change events).
    virtual void SetFieldData(TField* field, const TFieldValue& value);
    // Loads a blob value that is not in the buffer yet.
    virtual void FetchBlob(TField* field, TRecordBuffer& record) const {
        record.Values[field->Slot()].SetNull();
    }
    // Whether `field` belongs to the current index (only indexed datasets say yes).
    virtual bool IsIndexField(const TField* field) const {
        return false;
    }
    // The old values of the record being edited (dsOldValue); nullptr when not editing.
    const TRecordBuffer* OldRecord() const {
        return FOldBuffer.get();
    }
    // Fields call these when their list or properties change.
    void FieldListChanged();
    void AddField(TField* field);
    void RemoveField(TField* field);
    // Links and sources.
    void AddDataSource(TDataSource* source);
    void RemoveDataSource(TDataSource* source);
    void UpdateBufferCount();
    void SetActiveRecordInternal(int index);
    // Switches to a temporary state (filter, calculation, old values) without events.
    TDataSetState SetTempState(TDataSetState state);
    void RestoreState(TDataSetState state);
    // Reports a failure of the dataset, prefixed with its name.
    [[noreturn]] void Error(const std::string& message) const;

    void Notification(TComponent* component, TOperation operation) override;
    void Loaded() override;

protected:
    // ---- what a concrete dataset provides
    virtual void InternalOpen() = 0;
    virtual void InternalClose() = 0;
    virtual void InternalInitFieldDefs() = 0;
    virtual bool IsCursorOpen() const = 0;
    // Fills `buffer` with the record at the cursor (gmCurrent), after it (gmNext) or before it
    // (gmPrior) and moves the cursor there; filters are applied by the dataset. grBOF/grEOF leave the
    // cursor on the crack; grError means the current record is gone.
    virtual TGetResult GetRecord(TRecordBuffer& buffer, TGetMode mode) = 0;
    virtual void InternalFirst() = 0; // cursor before the first record
    virtual void InternalLast() = 0;  // cursor after the last record
    // Puts the cursor on the record held in `buffer`.
    virtual void InternalSetToRecord(const TRecordBuffer& buffer) = 0;
    // Puts the cursor on a bookmarked record; false when it is gone or not visible.
    virtual bool InternalGotoBookmark(const TBookmark& bookmark) = 0;
    virtual void InternalInitRecord(TRecordBuffer& buffer);
    virtual void InternalEdit() {}
    virtual void InternalInsert() {}
    virtual void InternalCancel() {}
    // Writes the active record (insert or update) and leaves the cursor on it.
    virtual void InternalPost() = 0;
    virtual void InternalDelete() = 0;
    virtual void InternalRefresh() {}
    virtual int GetRecordCount() const {
        return -1;
    }
    virtual int GetRecNoInternal() const {
        return 0;
    }
    virtual void SetRecNoInternal(int) {}
    virtual bool GetCanModify() const {
        return true;
    }
    virtual std::unique_ptr<TRecordBuffer> AllocRecordBuffer() const {
        return std::make_unique<TRecordBuffer>();
    }
    // Called when Filter, Filtered, FilterOptions or OnFilterRecord change while open; the default
    // re-reads the records (descendants rebuild their cursor first).
    virtual void FilterChanged();
    // The master-detail and parameter links call this to re-read everything.
    virtual void InternalHandleException() {}
    // The fields are bound to value slots: descendants map their columns to slots here.
    virtual void InternalFieldsBound() {}
    // Post (commit) or Cancel (discard) of the key buffer while in dsSetKey.
    virtual void PostKeyBuffer(bool commit) {}
    // Moves the cursor to the first visible record that matches, without touching the buffered
    // records; the default scans with GetRecord. Returns false (cursor anywhere) when none matches.
    virtual bool LocateRecordInternal(const std::vector<TField*>& fields, const Variant& values,
                                      TLocateOptions options);
    // Fills a buffer from the cursor (GetRecord) after sizing it.
    TGetResult FetchRecord(TRecordBuffer& buffer, TGetMode mode);
    // For descendants' GetRecord: computes calculated fields, then runs the record filter.
    bool PrepareFetchedRecord(TRecordBuffer& buffer);
    // True when the values of `fields` in `buffer` match `values` with the Locate options.
    bool RecordMatches(TRecordBuffer& buffer, const std::vector<TField*>& fields, const Variant& values,
                       TLocateOptions options);
    // The filter value of slot `slot` of a buffer (used by filter evaluation).
    TFilterValue FilterValueOf(const TRecordBuffer& buffer, int slot) const;
    TFilterValueKind FilterKindOf(TFieldType type) const;
    // Runs `fn` with the dataset in dsFilter on `buffer`, so fields read the candidate record.
    bool EvaluateOnRecord(TRecordBuffer& buffer, const std::function<bool()>& fn);
    // The buffer GetRecord fills for Locate and Lookup scans.
    TRecordBuffer& ScratchBuffer() const {
        return *FBuffers[static_cast<size_t>(FRecordCount)];
    }
    // Set by descendants that already applied the Filter text in their cursor (it is then not
    // evaluated again per record).
    void SetFilterTextApplied(bool v) {
        FFilterTextApplied = v;
    }
    bool FilterTextApplied() const {
        return FFilterTextApplied;
    }

    // ---- helpers for descendants
    // Runs the dataset's own filter (Filter text and OnFilterRecord) on a candidate record.
    bool RecordAccepted(TRecordBuffer& buffer);
    bool HasRecordFilter() const {
        return FFiltered && (FFilterExpr || FOnFilterRecord);
    }
    // Computes calculated and lookup fields of a freshly read record.
    void GetCalcFields(TRecordBuffer& buffer);
    bool HasCalcFields() const {
        return FCalcFieldCount > 0;
    }
    int DataFieldCount() const {
        return FDataFieldCount;
    }
    int SlotCount() const {
        return FDataFieldCount + FCalcFieldCount;
    }
    TRecordBuffer* ActiveBuffer() const;
    // Prepares a buffer with the right number of value slots.
    void InitBuffer(TRecordBuffer& buffer) const;
    void SetState(TDataSetState value);
    void CheckActive() const;
    void CheckInactive() const;
    void CheckBiDirectional() const;
    void CheckCanModify() const;
    void ClearBuffers();
    // Records are re-read from the cursor; used after the cursor changes order or content.
    void ReReadAll();
    void DoAfterScroll();
    void DoBeforeScroll();
    // Compiles the Filter text against the fields (on open and when the text changes).
    void CompileFilterText();

private:
    friend class TField;
    friend class TDataLink;
    friend class TDataSource;
    void OpenCursor();
    void CloseCursor();
    void BindFields();
    void SetBufferCount(int value);
    bool GetNextRecord();
    bool GetPriorRecord();
    int GetNextRecords();
    int GetPriorRecords();
    void SetCurrentRecord(int index);
    void MoveBuffer(int from, int to);
    void ActivateBuffers();
    void BeginInsertAppend();
    void EndInsertAppend();
    void CheckOperation(void (TDataSet::*op)(), const TDataSetErrorEvent& onError);
    void CalculateFields(TRecordBuffer& buffer);
    void FreeFieldBuffers();
    bool LocateRecord(std::string_view keyFields, const Variant& keyValues, TLocateOptions options,
                      bool syncCursor);
    void CallEvent(const TDataSetNotifyEvent& e) {
        if (e) e(this);
    }

    TDataSetState FState = dsInactive;
    TDataSetState FDisableState = dsInactive;
    TDataEvent FEnableEvent = deDataSetChange;
    int FDisableCount = 0;
    bool FModified = false;
    bool FBOF = true, FEOF = true;
    bool FDefaultFields = false;
    bool FAutoCalcFields = true;
    bool FStreamedActive = false;
    std::unique_ptr<TFieldDefs> FFieldDefs;
    std::unique_ptr<TFields> FFields;
    std::vector<TDataSource*> FDataSources;
    // The record window: FBuffers[0..FRecordCount) are records in order, FBuffers[FBufferCount] is the
    // scratch buffer GetRecord fills.
    std::vector<std::unique_ptr<TRecordBuffer>> FBuffers;
    int FBufferCount = 0;
    int FRecordCount = 0;
    int FActiveRecord = 0;
    int FCurrentRecord = -1;
    std::unique_ptr<TRecordBuffer> FCalcBuffer, FOldBuffer;
    TRecordBuffer* FTempRecord = nullptr; // record seen in dsCalcFields / dsFilter
    int FDataFieldCount = 0, FCalcFieldCount = 0;
    std::vector<TFieldType> FSlotTypes;
    bool FFilterTextApplied = false;

    std::string FFilterText;
    bool FFiltered = false;
    TFilterOptions FFilterOptions;
    std::unique_ptr<TFilterExpr> FFilterExpr;
    TFilterRecordEvent FOnFilterRecord;

    TDataSetNotifyEvent FBeforeOpen, FAfterOpen, FBeforeClose, FAfterClose, FBeforeInsert, FAfterInsert,
        FBeforeEdit, FAfterEdit, FBeforePost, FAfterPost, FBeforeCancel, FAfterCancel, FBeforeDelete,
        FAfterDelete, FBeforeScroll, FAfterScroll, FBeforeRefresh, FAfterRefresh, FOnNewRecord, FOnCalcFields;
    TDataSetErrorEvent FOnPostError, FOnDeleteError, FOnEditError;
};

// ---- data links -----------------------------------------------------------------------------------

class TDataLink : public TPersistent {
    QEL_CLASS(TDataLink, TPersistent)
    TDataLink();
    ~TDataLink() override;
    TDataLink(const TDataLink&) = delete;
    TDataLink& operator=(const TDataLink&) = delete;

    TDataSource* GetDataSource() const { return FDataSource; }
    void SetDataSource(TDataSource* source);
    bool Active() const { return FActive; }
    TDataSet* DataSet() const;
    bool Editing() const { return FEditing; }
    bool GetReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool v);
    bool GetVisualControl() const { return FVisualControl; }
    void SetVisualControl(bool v) { FVisualControl = v; }
    // The link's own window of buffered records.
    int GetActiveRecord() const;
    void SetActiveRecord(int value);
    int GetBufferCount() const { return FBufferCount; }
    void SetBufferCount(int value);
    int RecordCount() const;
    bool Bof() const;
    bool Eof() const;
    // Puts the dataset into edit state when the data source allows it; true when editing.
    bool Edit();
    void UpdateRecord();

    // Called by the data source.
    void DataEvent(TDataEvent event, intptr_t info);

protected:
    virtual void ActiveChanged() {}
    virtual void CheckBrowseMode() {}
    virtual void DataSetChanged() { RecordChanged(nullptr); }
    virtual void DataSetScrolled(int distance) { DataSetChanged(); }
    virtual void FocusControl(TField** field) {}
    virtual void EditingChanged() {}
    virtual void LayoutChanged() { DataSetChanged(); }
    virtual void RecordChanged(TField* field) {}
    virtual void UpdateData() {}

private:
    friend class TDataSource;
    void UpdateState();
    void SetActive(bool value);
    void SetEditing(bool value);
    TDataSource* FDataSource = nullptr;
    int FFirstRecord = 0;
    int FBufferCount = 1;
    bool FActive = false;
    bool FEditing = false;
    bool FReadOnly = false;
    bool FUpdating = false;
    bool FVisualControl = false;
};

// A link to one field of the data source's dataset (data-aware edits).
class TFieldDataLink : public TDataLink {
    QEL_CLASS(TFieldDataLink, TDataLink)
    TField* Field() const { return FField; }
    const std::string& GetFieldName() const { return FFieldName; }
    void SetFieldName(const std::string& name);
    TComponent* GetControl() const { return FControl; }
    void SetControl(TComponent* c) { FControl = c; }
    bool CanModify() const;
    bool Modified() const { return FModified; }
    // A control changed the shown value; UpdateRecord will write it back.
    void Modify() { FModified = true; }
    void Reset();

    TNotifyEvent OnDataChange, OnEditingChange, OnUpdateData, OnActiveChange;

protected:
    void ActiveChanged() override;
    void EditingChanged() override;
    void FocusControl(TField** field) override;
    void LayoutChanged() override;
    void RecordChanged(TField* field) override;
    void UpdateData() override;

private:
    void UpdateField();
    TField* FField = nullptr;
    std::string FFieldName;
    TComponent* FControl = nullptr;
    bool FModified = false;
};

using TDataChangeEvent = TEvent<void(TObject* Sender, TField* Field)>;

class TDataSource : public TComponent {
    QEL_CLASS(TDataSource, TComponent)
    explicit TDataSource(TComponent* owner);
    ~TDataSource() override;

    TDataSet* GetDataSet() const { return FDataSet; }
    void SetDataSet(TDataSet* dataset);
    bool GetEnabled() const { return FEnabled; }
    void SetEnabled(bool v);
    bool GetAutoEdit() const { return FAutoEdit; }
    void SetAutoEdit(bool v) { FAutoEdit = v; }
    TDataSetState State() const { return FState; }
    // Puts the dataset into edit state when AutoEdit allows it.
    void Edit();
    bool IsLinkedTo(TDataSet* dataset) const;

    TNotifyEvent GetOnStateChange() const { return FOnStateChange; }
    void SetOnStateChange(TNotifyEvent e) { FOnStateChange = e; }
    TDataChangeEvent GetOnDataChange() const { return FOnDataChange; }
    void SetOnDataChange(TDataChangeEvent e) { FOnDataChange = e; }
    TNotifyEvent GetOnUpdateData() const { return FOnUpdateData; }
    void SetOnUpdateData(TNotifyEvent e) { FOnUpdateData = e; }

    const std::vector<TDataLink*>& DataLinks() const { return FDataLinks; }
    // Called by the dataset.
    void DataEvent(TDataEvent event, intptr_t info);
    void AddDataLink(TDataLink* link);
    void RemoveDataLink(TDataLink* link);

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    void SetState(TDataSetState value);
    void NotifyDataLinks(TDataEvent event, intptr_t info);
    TDataSet* FDataSet = nullptr;
    bool FEnabled = true;
    bool FAutoEdit = true;
    TDataSetState FState = dsInactive;
    std::vector<TDataLink*> FDataLinks;
    TNotifyEvent FOnStateChange, FOnUpdateData;
    TDataChangeEvent FOnDataChange;
};

} // namespace qel
