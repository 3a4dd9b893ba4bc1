#include "platform/data/dataset.h"

#include <algorithm>
#include <cmath>

#include "platform/core/strutils.h"

namespace qel {

namespace {

// Runs `fn` when the scope ends, also during unwinding (the platform's try/finally).
template <typename F>
struct TFinally {
    F Fn;
    ~TFinally() noexcept(false) {
        if (std::uncaught_exceptions() > Count) {
            try {
                Fn();
            } catch (...) {
            }
        } else
            Fn();
    }
    int Count = std::uncaught_exceptions();
};
template <typename F>
TFinally<F> Finally(F fn) {
    return TFinally<F>{std::move(fn)};
}

// Case-insensitive comparison of UTF-8 text: ASCII and the common Latin, Greek and Cyrillic
// capitals fold to small letters.
uint32_t FoldCodePoint(uint32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;
    if (c >= 0x100 && c <= 0x17F) {
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c % 2 == 1) ? c + 1 : c;
        return (c % 2 == 0) ? c + 1 : c;
    }
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    return c;
}

std::string FoldText(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        uint32_t c;
        size_t n;
        if (b < 0x80)
            c = b, n = 1;
        else if ((b & 0xE0) == 0xC0 && i + 1 < s.size())
            c = ((b & 0x1Fu) << 6) | (s[i + 1] & 0x3F), n = 2;
        else if ((b & 0xF0) == 0xE0 && i + 2 < s.size())
            c = ((b & 0x0Fu) << 12) | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3F), n = 3;
        else {
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        c = FoldCodePoint(c);
        if (c < 0x80)
            out += static_cast<char>(c);
        else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
        i += n;
    }
    return out;
}

class TBufferFilterRecord : public TFilterRecord {
public:
    TBufferFilterRecord(const TDataSet* ds, const TRecordBuffer& buf,
                        TFilterValue (*reader)(const TDataSet*, const TRecordBuffer&, int))
        : FDataSet(ds), FBuf(buf), FReader(reader) {}
    TFilterValue FieldValue(int index) const override { return FReader(FDataSet, FBuf, index); }

private:
    const TDataSet* FDataSet;
    const TRecordBuffer& FBuf;
    TFilterValue (*FReader)(const TDataSet*, const TRecordBuffer&, int);
};

} // namespace

// ---- life cycle ----------------------------------------------------------------------------------

TDataSet::TDataSet(TComponent* owner)
    : TComponent(owner), FFieldDefs(std::make_unique<TFieldDefs>()),
      FFields(std::make_unique<TFields>(this)) {}

TDataSet::~TDataSet() {
    // Concrete datasets close themselves in their destructors; here only the links are cut.
    while (!FDataSources.empty()) FDataSources.back()->SetDataSet(nullptr);
    for (TField* f : FFields->List()) f->FDataSet = nullptr;
    FFields->Clear();
}

void TDataSet::Error(const std::string& message) const {
    DatabaseError(message, GetName());
}

void TDataSet::CheckActive() const {
    if (!GetActive()) Error("Cannot perform this operation on a closed dataset");
}
void TDataSet::CheckInactive() const {
    if (GetActive()) Error("Cannot perform this operation on an open dataset");
}
void TDataSet::CheckBiDirectional() const {
    if (IsUniDirectional()) Error("Operation not allowed on a unidirectional dataset");
}
void TDataSet::CheckCanModify() const {
    if (!CanModify()) Error("Cannot modify a read-only dataset");
}

void TDataSet::SetActive(bool value) {
    if (IsLoading()) {
        FStreamedActive = value;
        return;
    }
    if (value == GetActive()) return;
    if (value) {
        CallEvent(FBeforeOpen);
        try {
            OpenCursor();
        } catch (...) {
            FState = dsInactive;
            try {
                CloseCursor();
            } catch (...) {
            }
            throw;
        }
        FState = dsInactive;
        SetState(dsBrowse);
        CallEvent(FAfterOpen);
        if (!IsEmpty()) DoAfterScroll();
    } else {
        if (!IsDestroying()) CallEvent(FBeforeClose);
        SetState(dsInactive);
        CloseCursor();
        if (!IsDestroying()) CallEvent(FAfterClose);
    }
}

void TDataSet::Loaded() {
    TComponent::Loaded();
    if (FStreamedActive) {
        FStreamedActive = false;
        SetActive(true);
    }
}

void TDataSet::CreateDefaultFields() {
    CheckInactive();
    std::vector<TField*> old;
    for (TField* f : FFields->List())
        if (f->Owner() == this && f->AutoGenerated()) old.push_back(f);
    for (TField* f : old) delete f;
    for (int i = 0; i < FFieldDefs->Count(); ++i) {
        TFieldDef* d = FFieldDefs->Items(i);
        if (!d->FieldClass()) continue;
        TField* f = d->CreateField(this, nullptr);
        f->SetAutoGenerated(true);
        AddField(f);
    }
}

void TDataSet::OpenCursor() {
    FState = dsOpening;
    InternalOpen();
    FDefaultFields = FFields->Count() == 0;
    {
        if (FDefaultFields)
            for (int i = 0; i < FFieldDefs->Count(); ++i) {
                TFieldDef* d = FFieldDefs->Items(i);
                if (!d->FieldClass()) continue;
                TField* f = d->CreateField(this, nullptr);
                f->SetAutoGenerated(true);
                AddField(f);
            }
    }
    BindFields();
    InternalFieldsBound();
    CompileFilterText();
    int count = 1;
    for (TDataSource* s : FDataSources)
        for (TDataLink* l : s->DataLinks()) count = std::max(count, l->GetBufferCount());
    FBufferCount = count;
    FBuffers.clear();
    for (int i = 0; i <= FBufferCount; ++i) {
        FBuffers.push_back(AllocRecordBuffer());
        InitBuffer(*FBuffers.back());
    }
    FCalcBuffer = AllocRecordBuffer();
    InitBuffer(*FCalcBuffer);
    ClearBuffers();
    InternalFirst();
    GetNextRecord();
    GetNextRecords();
    FBOF = true;
    FEOF = FRecordCount == 0;
}

void TDataSet::CloseCursor() {
    try {
        if (IsCursorOpen()) InternalClose();
    } catch (...) {
        // The cursor is dropped below either way.
    }
    FBuffers.clear();
    FCalcBuffer.reset();
    FOldBuffer.reset();
    FRecordCount = 0;
    FActiveRecord = 0;
    FCurrentRecord = -1;
    FBOF = FEOF = true;
    FFilterExpr.reset();
    if (FDefaultFields) {
        std::vector<TField*> owned;
        for (TField* f : FFields->List())
            if (f->Owner() == this && f->AutoGenerated()) owned.push_back(f);
        for (TField* f : owned) delete f;
        FDefaultFields = false;
    }
    for (TField* f : FFields->List()) f->FSlot = -1;
}

void TDataSet::BindFields() {
    FDataFieldCount = FFieldDefs->Count();
    int calc = 0;
    FSlotTypes.assign(static_cast<size_t>(FDataFieldCount), ftUnknown);
    for (int i = 0; i < FDataFieldCount; ++i)
        FSlotTypes[static_cast<size_t>(i)] = FFieldDefs->Items(i)->GetDataType();
    for (TField* f : FFields->List()) {
        if (f->GetFieldKind() == fkData) {
            int idx = FFieldDefs->IndexOf(f->GetFieldName());
            if (idx < 0) Error("Field '" + f->DisplayName() + "' not found");
            TFieldDef* d = FFieldDefs->Items(idx);
            if (f->DataType() != d->GetDataType() &&
                FieldClassOf(f->DataType()) != FieldClassOf(d->GetDataType()) &&
                !(f->DataType() == ftAutoInc && d->GetDataType() == ftInteger))
                Error("Type mismatch for field '" + f->DisplayName() + "', expecting: " +
                      FieldTypeName(f->DataType()) + " actual: " + FieldTypeName(d->GetDataType()));
            f->FFieldNo = idx + 1;
            f->FSlot = idx;
        } else {
            f->FFieldNo = -1;
            f->FSlot = FDataFieldCount + calc++;
            FSlotTypes.push_back(f->DataType());
        }
    }
    FCalcFieldCount = calc;
}

void TDataSet::AddField(TField* field) {
    if (!field) return;
    if (GetActive()) Error("Cannot perform this operation on an open dataset");
    FFields->Add(field);
    field->FDataSet = this;
    FieldListChanged();
}

void TDataSet::RemoveField(TField* field) {
    if (!field) return;
    FFields->Remove(field);
    field->FDataSet = nullptr;
    field->FSlot = -1;
    if (!IsDestroying()) FieldListChanged();
}

void TDataSet::FieldListChanged() {
    if (FState != dsOpening) DataEvent(deFieldListChange, 0);
}

void TDataSet::InitBuffer(TRecordBuffer& buffer) const {
    buffer.Values.resize(static_cast<size_t>(SlotCount()));
}

TRecordBuffer* TDataSet::ActiveBuffer() const {
    if (FActiveRecord < 0 || FActiveRecord >= static_cast<int>(FBuffers.size())) return nullptr;
    return FBuffers[static_cast<size_t>(FActiveRecord)].get();
}

TRecordBuffer* TDataSet::GetStateRecord() const {
    switch (FState) {
    case dsBrowse:
    case dsNewValue:
    case dsCurValue: return IsEmpty() ? nullptr : ActiveBuffer();
    case dsEdit:
    case dsInsert: return ActiveBuffer();
    case dsCalcFields:
    case dsFilter:
    case dsInternalCalc: return FTempRecord;
    case dsOldValue:
        if (FOldBuffer) return FOldBuffer.get();
        return IsEmpty() ? nullptr : ActiveBuffer();
    default: return nullptr;
    }
}

void TDataSet::SetState(TDataSetState value) {
    if (FState == value) return;
    FState = value;
    FModified = false;
    DataEvent(deUpdateState, 0);
}

TDataSetState TDataSet::SetTempState(TDataSetState state) {
    TDataSetState prev = FState;
    FState = state;
    ++FDisableCount;
    return prev;
}

void TDataSet::RestoreState(TDataSetState state) {
    FState = state;
    if (FDisableCount > 0) --FDisableCount;
}

// ---- events to data sources ----------------------------------------------------------------------

void TDataSet::DataEvent(TDataEvent event, intptr_t info) {
    if (event == deFieldChange) {
        auto* f = reinterpret_cast<TField*>(info);
        if (f && (f->GetFieldKind() == fkData || f->GetFieldKind() == fkInternalCalc)) FModified = true;
        if (FState != dsSetKey && FAutoCalcFields && FCalcFieldCount > 0 && ActiveBuffer())
            GetCalcFields(*ActiveBuffer());
    }
    if (FDisableCount == 0) {
        std::vector<TDataSource*> sources = FDataSources;
        for (TDataSource* s : sources)
            if (std::find(FDataSources.begin(), FDataSources.end(), s) != FDataSources.end())
                s->DataEvent(event, info);
    } else if ((event == deUpdateState && FState == dsInactive) || event == deLayoutChange)
        FEnableEvent = deLayoutChange;
}

void TDataSet::DisableControls() {
    if (FDisableCount == 0) {
        FDisableState = FState;
        FEnableEvent = deDataSetChange;
    }
    ++FDisableCount;
}

void TDataSet::EnableControls() {
    if (FDisableCount == 0) return; // an extra EnableControls is harmless
    if (--FDisableCount == 0) {
        if (FDisableState != FState) DataEvent(deUpdateState, 0);
        if (FDisableState != dsInactive && FState != dsInactive) DataEvent(FEnableEvent, 0);
    }
}

void TDataSet::AddDataSource(TDataSource* source) {
    if (std::find(FDataSources.begin(), FDataSources.end(), source) != FDataSources.end()) return;
    FDataSources.push_back(source);
    UpdateBufferCount();
}

void TDataSet::RemoveDataSource(TDataSource* source) {
    FDataSources.erase(std::remove(FDataSources.begin(), FDataSources.end(), source), FDataSources.end());
    UpdateBufferCount();
}

bool TDataSet::IsLinkedTo(TDataSource* source) const {
    for (TDataSet* ds = source ? source->GetDataSet() : nullptr; ds;) {
        if (ds == this) return true;
        TDataSource* s = ds->GetDataSource();
        ds = s ? s->GetDataSet() : nullptr;
        if (ds == source->GetDataSet()) break;
    }
    return false;
}

void TDataSet::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == opRemove) {
        auto* src = dynamic_cast<TDataSource*>(component);
        if (src) RemoveDataSource(src);
    }
}

// ---- record window -------------------------------------------------------------------------------

void TDataSet::UpdateBufferCount() {
    if (IsDestroying()) return;
    int count = 1;
    for (TDataSource* s : FDataSources)
        for (TDataLink* l : s->DataLinks()) count = std::max(count, l->GetBufferCount());
    if (GetActive())
        SetBufferCount(count);
    else if (FState == dsInactive)
        FBufferCount = count;
}

void TDataSet::SetBufferCount(int value) {
    if (value < 1) value = 1;
    if (value == FBufferCount) return;
    if (value < FBufferCount && FRecordCount > 0) {
        int drop = FActiveRecord - value + 1;
        if (drop > 0) {
            for (int i = 0; i < drop; ++i) MoveBuffer(0, FBufferCount);
            FActiveRecord -= drop;
            FRecordCount -= drop;
        }
        if (FRecordCount > value) FRecordCount = value;
    }
    std::vector<std::unique_ptr<TRecordBuffer>> nb;
    for (int i = 0; i <= value; ++i) {
        if (i < FRecordCount)
            nb.push_back(std::move(FBuffers[static_cast<size_t>(i)]));
        else {
            nb.push_back(AllocRecordBuffer());
            InitBuffer(*nb.back());
        }
    }
    FBuffers = std::move(nb);
    FBufferCount = value;
    CursorPosChanged();
    if (FState == dsBrowse && FRecordCount > 0) {
        GetNextRecords();
        GetPriorRecords();
    }
}

void TDataSet::SetActiveRecordInternal(int index) {
    if (index < 0) index = 0;
    if (FRecordCount > 0 && index >= FRecordCount) index = FRecordCount - 1;
    FActiveRecord = index;
}

void TDataSet::MoveBuffer(int from, int to) {
    if (from == to) return;
    auto buf = std::move(FBuffers[static_cast<size_t>(from)]);
    FBuffers.erase(FBuffers.begin() + from);
    FBuffers.insert(FBuffers.begin() + to, std::move(buf));
    if (FCurrentRecord == from)
        FCurrentRecord = to;
    else if (from < FCurrentRecord && to >= FCurrentRecord)
        --FCurrentRecord;
    else if (from > FCurrentRecord && to <= FCurrentRecord)
        ++FCurrentRecord;
}

void TDataSet::ClearBuffers() {
    FRecordCount = 0;
    FActiveRecord = 0;
    FCurrentRecord = -1;
    FBOF = FEOF = true;
}

void TDataSet::ActivateBuffers() {
    FRecordCount = 1;
    FActiveRecord = 0;
    FCurrentRecord = 0;
    FBOF = FEOF = false;
}

void TDataSet::SetCurrentRecord(int index) {
    if (FCurrentRecord == index) return;
    TRecordBuffer& b = *FBuffers[static_cast<size_t>(index)];
    switch (b.Flag) {
    case bfCurrent:
    case bfInserted: InternalSetToRecord(b); break;
    case bfBOF: InternalFirst(); break;
    case bfEOF: InternalLast(); break;
    }
    FCurrentRecord = index;
}

void TDataSet::UpdateCursorPos() {
    if (FRecordCount > 0) SetCurrentRecord(FActiveRecord);
}

TGetResult TDataSet::FetchRecord(TRecordBuffer& buffer, TGetMode mode) {
    InitBuffer(buffer);
    buffer.Flag = bfCurrent;
    return GetRecord(buffer, mode);
}

bool TDataSet::GetNextRecord() {
    TGetMode mode = gmNext;
    if (FRecordCount > 0) {
        SetCurrentRecord(FRecordCount - 1);
        if (FState == dsInsert && FCurrentRecord == FActiveRecord && ActiveBuffer()->Flag == bfCurrent)
            mode = gmCurrent;
    }
    if (FetchRecord(*FBuffers[static_cast<size_t>(FRecordCount)], mode) != grOK) {
        CursorPosChanged();
        return false;
    }
    if (FRecordCount == 0)
        ActivateBuffers();
    else if (FRecordCount < FBufferCount)
        ++FRecordCount;
    else
        MoveBuffer(0, FRecordCount);
    FCurrentRecord = FRecordCount - 1;
    return true;
}

bool TDataSet::GetPriorRecord() {
    CheckBiDirectional();
    if (FRecordCount > 0) SetCurrentRecord(0);
    if (FetchRecord(*FBuffers[static_cast<size_t>(FRecordCount)], gmPrior) != grOK) {
        CursorPosChanged();
        return false;
    }
    if (FRecordCount == 0)
        ActivateBuffers();
    else {
        MoveBuffer(FRecordCount, 0);
        if (FRecordCount < FBufferCount) {
            ++FRecordCount;
            ++FActiveRecord;
        }
    }
    FCurrentRecord = 0;
    return true;
}

int TDataSet::GetNextRecords() {
    int n = 0;
    while (FRecordCount < FBufferCount && GetNextRecord()) ++n;
    return n;
}

int TDataSet::GetPriorRecords() {
    int n = 0;
    if (IsUniDirectional()) return 0;
    while (FRecordCount < FBufferCount && GetPriorRecord()) ++n;
    return n;
}

void TDataSet::Resync(TResyncMode mode) {
    TRecordBuffer& scratch = *FBuffers[static_cast<size_t>(FRecordCount)];
    if (mode.Contains(rmExact)) {
        CursorPosChanged();
        if (FetchRecord(scratch, gmCurrent) != grOK) Error("Record not found or changed by another user");
    } else if (FetchRecord(scratch, gmCurrent) != grOK && FetchRecord(scratch, gmNext) != grOK &&
               FetchRecord(scratch, gmPrior) != grOK) {
        ClearBuffers();
        DataEvent(deDataSetChange, 0);
        return;
    }
    int count = mode.Contains(rmCenter) ? (FBufferCount - 1) / 2 : FActiveRecord;
    MoveBuffer(FRecordCount, 0);
    ActivateBuffers();
    auto done = Finally([&] { DataEvent(deDataSetChange, 0); });
    if (!IsUniDirectional())
        while (count > 0 && GetPriorRecord()) --count;
    GetNextRecords();
    GetPriorRecords();
}

void TDataSet::ReReadAll() {
    UpdateCursorPos();
    Resync({});
}

// ---- navigation ----------------------------------------------------------------------------------

void TDataSet::DoBeforeScroll() {
    CallEvent(FBeforeScroll);
}
void TDataSet::DoAfterScroll() {
    CallEvent(FAfterScroll);
}

void TDataSet::First() {
    CheckBrowseMode();
    DoBeforeScroll();
    ClearBuffers();
    {
        auto done = Finally([&] {
            FBOF = true;
            DataEvent(deDataSetChange, 0);
        });
        InternalFirst();
        GetNextRecord();
        GetNextRecords();
    }
    DoAfterScroll();
}

void TDataSet::Last() {
    CheckBiDirectional();
    CheckBrowseMode();
    DoBeforeScroll();
    ClearBuffers();
    {
        auto done = Finally([&] {
            FEOF = true;
            DataEvent(deDataSetChange, 0);
        });
        InternalLast();
        GetPriorRecord();
        GetPriorRecords();
    }
    DoAfterScroll();
}

int TDataSet::MoveBy(int distance) {
    CheckBrowseMode();
    int result = 0;
    if (distance < 0) CheckBiDirectional();
    DoBeforeScroll();
    if ((distance > 0 && !FEOF) || (distance < 0 && !FBOF)) {
        FBOF = false;
        FEOF = false;
        int oldRecordCount = FRecordCount;
        int shift = 0;
        {
            auto done = Finally([&] {
                if (FRecordCount != oldRecordCount)
                    DataEvent(deDataSetChange, 0);
                else
                    DataEvent(deDataSetScroll, shift);
            });
            while (distance > 0) {
                if (FActiveRecord < FRecordCount - 1)
                    ++FActiveRecord;
                else {
                    bool full = FRecordCount == FBufferCount;
                    if (GetNextRecord()) {
                        if (full) --shift;
                        FActiveRecord = FRecordCount - 1;
                    } else {
                        FEOF = true;
                        break;
                    }
                }
                --distance;
                ++result;
            }
            while (distance < 0) {
                if (FActiveRecord > 0)
                    --FActiveRecord;
                else {
                    if (GetPriorRecord()) {
                        ++shift;
                        FActiveRecord = 0;
                    } else {
                        FBOF = true;
                        break;
                    }
                }
                ++distance;
                --result;
            }
        }
        DoAfterScroll();
    }
    return result;
}

int TDataSet::RecordCount() const {
    if (!GetActive()) return 0;
    return GetRecordCount();
}

int TDataSet::GetRecNo() const {
    if (!GetActive() || IsEmpty() || FState == dsInsert) return 0;
    const_cast<TDataSet*>(this)->UpdateCursorPos();
    return GetRecNoInternal();
}

void TDataSet::SetRecNo(int value) {
    CheckBrowseMode();
    if (value < 1) value = 1;
    if (value == GetRecNo()) return;
    DoBeforeScroll();
    SetRecNoInternal(value);
    Resync({rmCenter});
    DoAfterScroll();
}

void TDataSet::Refresh() {
    CallEvent(FBeforeRefresh);
    CheckBrowseMode();
    UpdateCursorPos();
    {
        auto done = Finally([&] { Resync({}); });
        InternalRefresh();
    }
    CallEvent(FAfterRefresh);
}

// ---- editing -------------------------------------------------------------------------------------

void TDataSet::InternalInitRecord(TRecordBuffer& buffer) {
    for (auto& v : buffer.Values) v.SetNull();
}

void TDataSet::CheckOperation(void (TDataSet::*op)(), const TDataSetErrorEvent& onError) {
    for (int attempt = 0;; ++attempt) {
        try {
            (this->*op)();
            return;
        } catch (EDatabaseError& e) {
            TDataAction action = daFail;
            if (onError) onError(this, e, action);
            if (action == daFail || attempt >= 1000) throw;
            if (action == daAbort) Abort();
        }
    }
}

void TDataSet::FreeFieldBuffers() {
    FOldBuffer.reset();
}

void TDataSet::Edit() {
    if (FState == dsEdit || FState == dsInsert) return;
    if (FRecordCount == 0) {
        Insert();
        return;
    }
    CheckBrowseMode();
    CheckCanModify();
    CallEvent(FBeforeEdit);
    UpdateCursorPos();
    CheckOperation(&TDataSet::InternalEdit, FOnEditError);
    FOldBuffer = AllocRecordBuffer();
    FOldBuffer->CopyFrom(*ActiveBuffer());
    GetCalcFields(*ActiveBuffer());
    SetState(dsEdit);
    DataEvent(deRecordChange, 0);
    CallEvent(FAfterEdit);
}

void TDataSet::BeginInsertAppend() {
    CheckBrowseMode();
    CheckCanModify();
    CallEvent(FBeforeInsert);
}

void TDataSet::EndInsertAppend() {
    FOldBuffer = AllocRecordBuffer();
    InitBuffer(*FOldBuffer);
    SetState(dsInsert);
    try {
        CallEvent(FOnNewRecord);
    } catch (...) {
        UpdateCursorPos();
        FreeFieldBuffers();
        SetState(dsBrowse);
        Resync({});
        throw;
    }
    FModified = false;
    DataEvent(deDataSetChange, 0);
    CallEvent(FAfterInsert);
}

void TDataSet::Insert() {
    BeginInsertAppend();
    TBookmark old = (FRecordCount > 0) ? ActiveBuffer()->Bookmark : TBookmark();
    MoveBuffer(FRecordCount, FActiveRecord);
    TRecordBuffer& b = *ActiveBuffer();
    InitBuffer(b);
    InternalInitRecord(b);
    if (FRecordCount == 0) {
        b.Flag = bfBOF;
        b.Bookmark.clear();
    } else {
        b.Flag = bfInserted;
        b.Bookmark = old;
    }
    if (FRecordCount < FBufferCount) ++FRecordCount;
    InternalInsert();
    EndInsertAppend();
}

void TDataSet::Append() {
    BeginInsertAppend();
    ClearBuffers();
    TRecordBuffer& b = *FBuffers[0];
    InitBuffer(b);
    InternalInitRecord(b);
    b.Flag = bfEOF;
    b.Bookmark.clear();
    FRecordCount = 1;
    FBOF = false;
    GetPriorRecords();
    InternalInsert();
    EndInsertAppend();
}

void TDataSet::UpdateRecord() {
    if (FState != dsEdit && FState != dsInsert && FState != dsSetKey)
        Error("Dataset not in edit or insert mode");
    DataEvent(deUpdateRecord, 0);
}

void TDataSet::Post() {
    UpdateRecord();
    if (FState == dsEdit || FState == dsInsert) {
        DataEvent(deCheckBrowseMode, 0);
        CallEvent(FBeforePost);
        for (TField* f : FFields->List())
            if (f->GetFieldKind() == fkData && f->GetRequired() && !f->GetReadOnly() &&
                f->DataType() != ftAutoInc && f->IsNull()) {
                f->FocusControl();
                Error("Field '" + f->DisplayName() + "' must have a value");
            }
        CheckOperation(&TDataSet::InternalPost, FOnPostError);
        FreeFieldBuffers();
        SetState(dsBrowse);
        Resync({});
        CallEvent(FAfterPost);
    } else if (FState == dsSetKey)
        PostKeyBuffer(true);
}

void TDataSet::Cancel() {
    if (FState == dsEdit || FState == dsInsert) {
        DataEvent(deCheckBrowseMode, 0);
        CallEvent(FBeforeCancel);
        bool wasEdit = FState == dsEdit;
        UpdateCursorPos();
        if (wasEdit) InternalCancel();
        FreeFieldBuffers();
        SetState(dsBrowse);
        Resync({});
        CallEvent(FAfterCancel);
    } else if (FState == dsSetKey)
        PostKeyBuffer(false);
}

void TDataSet::Delete() {
    CheckActive();
    if (FState == dsInsert || FState == dsSetKey) {
        Cancel();
        return;
    }
    if (FRecordCount == 0) Error("Cannot perform this operation on an empty dataset");
    DataEvent(deCheckBrowseMode, 0);
    CallEvent(FBeforeDelete);
    DoBeforeScroll();
    UpdateCursorPos();
    CheckOperation(&TDataSet::InternalDelete, FOnDeleteError);
    FreeFieldBuffers();
    SetState(dsBrowse);
    Resync({});
    CallEvent(FAfterDelete);
    DoAfterScroll();
}

void TDataSet::CheckBrowseMode() {
    CheckActive();
    DataEvent(deCheckBrowseMode, 0);
    switch (FState) {
    case dsEdit:
    case dsInsert:
        UpdateRecord();
        if (FModified)
            Post();
        else
            Cancel();
        break;
    case dsSetKey: Post(); break;
    default: break;
    }
}

void TDataSet::ClearFields() {
    if (!IsEditMode(FState)) Error("Dataset not in edit or insert mode");
    DataEvent(deCheckBrowseMode, 0);
    TRecordBuffer* r = GetStateRecord();
    if (r)
        for (int i = 0; i < FDataFieldCount && i < static_cast<int>(r->Values.size()); ++i)
            r->Values[static_cast<size_t>(i)].SetNull();
    if (FState != dsSetKey && r) GetCalcFields(*r);
    DataEvent(deRecordChange, 0);
}

void TDataSet::AppendRecord(const std::vector<Variant>& values) {
    Append();
    try {
        for (size_t i = 0; i < values.size() && i < static_cast<size_t>(FieldCount()); ++i)
            if (!values[i].IsEmpty()) {
                TField* f = FFields->Fields(static_cast<int>(i));
                if (f->GetFieldKind() == fkData && !(f->GetReadOnly() && values[i].IsNull()))
                    f->SetAsVariant(values[i]);
            }
        Post();
    } catch (...) {
        Cancel();
        throw;
    }
}

void TDataSet::InsertRecord(const std::vector<Variant>& values) {
    Insert();
    try {
        for (size_t i = 0; i < values.size() && i < static_cast<size_t>(FieldCount()); ++i)
            if (!values[i].IsEmpty()) {
                TField* f = FFields->Fields(static_cast<int>(i));
                if (f->GetFieldKind() == fkData && !(f->GetReadOnly() && values[i].IsNull()))
                    f->SetAsVariant(values[i]);
            }
        Post();
    } catch (...) {
        Cancel();
        throw;
    }
}

void TDataSet::SetFieldData(TField* field, const TFieldValue& value) {
    TDataSetState s = FState;
    if (s != dsEdit && s != dsInsert && s != dsSetKey && s != dsCalcFields && s != dsFilter &&
        s != dsNewValue && s != dsInternalCalc)
        Error("Dataset not in edit or insert mode");
    TFieldKind kind = field->GetFieldKind();
    if (s == dsSetKey) {
        if (kind != fkData || !IsIndexField(field))
            Error("Field '" + field->DisplayName() + "' is not indexed and cannot be modified");
    } else if (s == dsCalcFields) {
        if (kind == fkData) Error("Field '" + field->DisplayName() + "' cannot be modified");
    } else if (s != dsFilter && (kind == fkData || kind == fkInternalCalc) && field->GetReadOnly())
        Error("Field '" + field->DisplayName() + "' cannot be modified");
    if ((s == dsEdit || s == dsInsert) && (kind == fkCalculated || kind == fkLookup))
        Error("Field '" + field->DisplayName() + "' cannot be modified");
    TRecordBuffer* r = GetStateRecord();
    if (!r || field->Slot() < 0 || field->Slot() >= static_cast<int>(r->Values.size()))
        Error("Field '" + field->DisplayName() + "' has no record to write");
    TFieldValue& slot = r->Values[static_cast<size_t>(field->Slot())];
    if (s == dsEdit || s == dsInsert) {
        TFieldValue old = slot;
        slot = value;
        try {
            field->Validate();
        } catch (...) {
            slot = std::move(old);
            throw;
        }
    } else
        slot = value;
    if (s != dsCalcFields && s != dsFilter && s != dsNewValue) {
        DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field));
        field->Change();
    }
}

// ---- calculated and lookup fields ----------------------------------------------------------------

void TDataSet::GetCalcFields(TRecordBuffer& buffer) {
    if (FCalcFieldCount == 0) return;
    TRecordBuffer* saveTemp = FTempRecord;
    TDataSetState save = SetTempState(dsCalcFields);
    FTempRecord = &buffer;
    auto done = Finally([&] {
        FTempRecord = saveTemp;
        RestoreState(save);
    });
    CalculateFields(buffer);
}

void TDataSet::CalculateFields(TRecordBuffer& buffer) {
    for (int i = FDataFieldCount; i < static_cast<int>(buffer.Values.size()); ++i)
        buffer.Values[static_cast<size_t>(i)].SetNull();
    for (TField* f : FFields->List()) {
        if (f->GetFieldKind() != fkLookup) continue;
        TDataSet* lds = f->GetLookupDataSet();
        if (!lds || !lds->GetActive() || f->GetKeyFields().empty() || f->GetLookupKeyFields().empty() ||
            f->GetLookupResultField().empty())
            continue;
        Variant key = GetFieldValues(f->GetKeyFields());
        if (key.IsNull()) continue;
        Variant result = lds->Lookup(f->GetLookupKeyFields(), key, f->GetLookupResultField());
        if (!result.IsNull()) f->SetAsVariant(result);
    }
    CallEvent(FOnCalcFields);
}

// ---- fields access -------------------------------------------------------------------------------

void TDataSet::GetFieldNames(TStrings* list) const {
    if (!list) return;
    list->Clear();
    if (FFields->Count() > 0)
        for (TField* f : FFields->List()) list->Add(f->GetFieldName());
    else
        for (int i = 0; i < FFieldDefs->Count(); ++i) list->Add(FFieldDefs->Items(i)->GetName());
}

std::vector<TField*> TDataSet::GetFieldList(std::string_view names) const {
    std::vector<TField*> out;
    for (const std::string& n : SplitFieldNames(names)) out.push_back(FieldByName(n));
    return out;
}

Variant TDataSet::GetFieldValues(std::string_view names) const {
    auto fields = GetFieldList(names);
    if (fields.size() == 1) return fields[0]->AsVariant();
    std::vector<Variant> values;
    for (TField* f : fields) values.push_back(f->AsVariant());
    return Variant::ArrayOf(std::move(values));
}

void TDataSet::SetFieldValues(std::string_view names, const Variant& value) {
    auto fields = GetFieldList(names);
    if (fields.size() == 1 && !value.IsArray()) {
        fields[0]->SetAsVariant(value);
        return;
    }
    for (size_t i = 0; i < fields.size(); ++i)
        fields[i]->SetAsVariant(value.IsArray() && static_cast<int>(i) < value.ArrayCount()
                                    ? value[static_cast<int>(i)]
                                    : Variant::Null());
}

int TDataSet::RecordSize() const {
    int n = 0;
    for (TField* f : FFields->List())
        if (f->GetFieldKind() == fkData) n += f->DataSize();
    return n;
}

// ---- bookmarks -----------------------------------------------------------------------------------

TBookmark TDataSet::GetBookmark() const {
    if (FState != dsBrowse && FState != dsEdit && FState != dsInsert) return {};
    if (IsEmpty()) return {};
    TRecordBuffer* b = ActiveBuffer();
    if (!b || b->Flag != bfCurrent) return {};
    return b->Bookmark;
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
    if (bookmark.empty()) return;
    CheckBrowseMode();
    CheckBiDirectional();
    DoBeforeScroll();
    if (!InternalGotoBookmark(bookmark)) {
        CursorPosChanged();
        Error("Record not found");
    }
    Resync({rmExact, rmCenter});
    DoAfterScroll();
}

bool TDataSet::BookmarkValid(const TBookmark& bookmark) const {
    return false;
}

int TDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) const {
    if (a.empty() && b.empty()) return 0;
    if (a.empty()) return -1;
    if (b.empty()) return 1;
    int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// ---- filters -------------------------------------------------------------------------------------

TFilterValueKind TDataSet::FilterKindOf(TFieldType type) const {
    switch (type) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint: return TFilterValueKind::Integer;
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftFMTBcd: return TFilterValueKind::Float;
    case ftBoolean: return TFilterValueKind::Boolean;
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftTimeStamp: return TFilterValueKind::DateTime;
    default: return TFilterValueKind::String;
    }
}

TFilterValue TDataSet::FilterValueOf(const TRecordBuffer& buffer, int slot) const {
    if (slot < 0 || slot >= static_cast<int>(buffer.Values.size())) return TFilterValue::Null();
    const TFieldValue& v = buffer.Values[static_cast<size_t>(slot)];
    TFieldType type =
        slot < static_cast<int>(FSlotTypes.size()) ? FSlotTypes[static_cast<size_t>(slot)] : ftString;
    if (v.Kind == TFieldValue::Unloaded) {
        if (TField* f = [&]() -> TField* {
                for (TField* x : FFields->List())
                    if (x->Slot() == slot) return x;
                return nullptr;
            }())
            FetchBlob(f, const_cast<TRecordBuffer&>(buffer));
    }
    if (v.IsNull() || v.Kind == TFieldValue::Unloaded) return TFilterValue::Null();
    switch (FilterKindOf(type)) {
    case TFilterValueKind::Integer:
        if (v.Kind == TFieldValue::Int) return TFilterValue::Integer(v.I);
        if (v.Kind == TFieldValue::Float)
            return TFilterValue::Integer(static_cast<int64_t>(std::nearbyint(v.F)));
        {
            int64_t i;
            return dbconv::TryTextToInt(v.S, i) ? TFilterValue::Integer(i) : TFilterValue::Null();
        }
    case TFilterValueKind::Float:
        if (v.Kind == TFieldValue::Float) return TFilterValue::Float(v.F);
        if (v.Kind == TFieldValue::Int) return TFilterValue::Float(static_cast<double>(v.I));
        {
            double d;
            return dbconv::TryTextToFloat(v.S, d) ? TFilterValue::Float(d) : TFilterValue::Null();
        }
    case TFilterValueKind::Boolean:
        if (v.Kind == TFieldValue::Int) return TFilterValue::Boolean(v.I != 0);
        if (v.Kind == TFieldValue::Float) return TFilterValue::Boolean(v.F != 0);
        return TFilterValue::Boolean(!v.S.empty() && v.S != "0" && !SameText(v.S, "false") &&
                                     !SameText(v.S, "F"));
    case TFilterValueKind::DateTime:
        if (v.Kind == TFieldValue::Float) return TFilterValue::DateTime(v.F);
        if (v.Kind == TFieldValue::Int) return TFilterValue::DateTime(static_cast<double>(v.I));
        {
            TDateTime d;
            return dbconv::TryTextToDateTime(v.S, d) ? TFilterValue::DateTime(d) : TFilterValue::Null();
        }
    default:
        if (v.Kind == TFieldValue::Int) return TFilterValue::String(std::to_string(v.I));
        if (v.Kind == TFieldValue::Float) return TFilterValue::String(dbconv::FloatToText(v.F));
        return TFilterValue::String(v.S);
    }
}

void TDataSet::CompileFilterText() {
    FFilterExpr.reset();
    if (!FFiltered || Trim(FFilterText).empty()) return;
    TFilterFieldResolver resolver = [this](std::string_view name) -> std::optional<TFilterFieldInfo> {
        TField* f = FindField(name);
        if (!f || f->Slot() < 0 || (f->IsBlob() && f->DataType() != ftMemo && f->DataType() != ftFmtMemo))
            return std::nullopt;
        return TFilterFieldInfo{f->Slot(), FilterKindOf(f->DataType())};
    };
    TFilterCompileOptions opts = TFilterCompileOptions::From(FFilterOptions);
    FFilterExpr = CompileFilter(FFilterText, resolver, opts);
}

bool TDataSet::RecordAccepted(TRecordBuffer& buffer) {
    if (!FFiltered || (!FFilterExpr && !FOnFilterRecord)) return true;
    bool accept = true;
    TRecordBuffer* saveTemp = FTempRecord;
    TDataSetState save = SetTempState(dsFilter);
    FTempRecord = &buffer;
    auto done = Finally([&] {
        FTempRecord = saveTemp;
        RestoreState(save);
    });
    if (FFilterExpr && !FFilterTextApplied) {
        TBufferFilterRecord rec(this, buffer, [](const TDataSet* ds, const TRecordBuffer& b, int i) {
            return ds->FilterValueOf(b, i);
        });
        accept = FFilterExpr->Evaluate(rec);
    }
    if (accept && FOnFilterRecord) FOnFilterRecord(this, accept);
    return accept;
}

bool TDataSet::EvaluateOnRecord(TRecordBuffer& buffer, const std::function<bool()>& fn) {
    TRecordBuffer* saveTemp = FTempRecord;
    TDataSetState save = SetTempState(dsFilter);
    FTempRecord = &buffer;
    auto done = Finally([&] {
        FTempRecord = saveTemp;
        RestoreState(save);
    });
    return fn();
}

bool TDataSet::PrepareFetchedRecord(TRecordBuffer& buffer) {
    if (FCalcFieldCount > 0) GetCalcFields(buffer);
    return RecordAccepted(buffer);
}

void TDataSet::FilterChanged() {
    if (!GetActive()) return;
    CheckBrowseMode();
    UpdateCursorPos();
    Resync({});
}

void TDataSet::SetFilter(const std::string& text) {
    if (text == FFilterText) return;
    std::string old = FFilterText;
    FFilterText = text;
    if (GetActive() && FFiltered) {
        try {
            CompileFilterText();
        } catch (...) {
            FFilterText = old;
            CompileFilterText();
            throw;
        }
        FilterChanged();
    }
}

void TDataSet::SetFiltered(bool value) {
    if (value == FFiltered) return;
    FFiltered = value;
    if (GetActive()) {
        try {
            CompileFilterText();
        } catch (...) {
            FFiltered = false;
            FFilterExpr.reset();
            throw;
        }
        FilterChanged();
    }
}

void TDataSet::SetFilterOptions(TFilterOptions value) {
    if (value == FFilterOptions) return;
    FFilterOptions = value;
    if (GetActive() && FFiltered) {
        CompileFilterText();
        FilterChanged();
    }
}

void TDataSet::SetOnFilterRecord(TFilterRecordEvent e) {
    FOnFilterRecord = e;
    if (GetActive() && FFiltered) FilterChanged();
}

// ---- Locate and Lookup ---------------------------------------------------------------------------

bool TDataSet::RecordMatches(TRecordBuffer& buffer, const std::vector<TField*>& fields, const Variant& values,
                             TLocateOptions options) {
    TRecordBuffer* saveTemp = FTempRecord;
    TDataSetState save = SetTempState(dsFilter);
    FTempRecord = &buffer;
    auto done = Finally([&] {
        FTempRecord = saveTemp;
        RestoreState(save);
    });
    for (size_t i = 0; i < fields.size(); ++i) {
        TField* f = fields[i];
        const Variant& want = values.IsArray() ? values[static_cast<int>(i)] : values;
        if (want.IsNull()) {
            if (!f->IsNull()) return false;
            continue;
        }
        if (f->IsNull()) return false;
        TFieldType t = f->DataType();
        bool text = t == ftString || t == ftFixedChar || t == ftWideString || t == ftMemo || t == ftFmtMemo ||
                    t == ftGuid;
        if (text) {
            std::string have = f->AsString(), w = want.AsString();
            if (options.Contains(loCaseInsensitive)) have = FoldText(have), w = FoldText(w);
            if (options.Contains(loPartialKey)) {
                if (have.compare(0, w.size(), w) != 0) return false;
            } else if (have != w)
                return false;
            continue;
        }
        try {
            switch (t) {
            case ftBoolean:
                if (f->AsBoolean() != want.AsBoolean()) return false;
                break;
            case ftSmallint:
            case ftInteger:
            case ftWord:
            case ftAutoInc:
            case ftLargeint:
                if (want.Type() == TVarType::Float || want.Type() == TVarType::Currency) {
                    if (static_cast<double>(f->AsInteger()) != want.AsFloat()) return false;
                } else if (f->AsInteger() != want.AsInteger())
                    return false;
                break;
            case ftDate:
            case ftTime:
            case ftDateTime:
                if (std::fabs(f->AsDateTime() - want.AsDateTime()) > 0.5 / 86400000.0) return false;
                break;
            case ftFloat:
            case ftCurrency:
            case ftBCD:
                if (f->AsFloat() != want.AsFloat()) return false;
                break;
            default:
                if (f->AsString() != want.AsString()) return false;
            }
        } catch (const EConvertError&) {
            return false;
        }
    }
    return true;
}

bool TDataSet::LocateRecordInternal(const std::vector<TField*>& fields, const Variant& values,
                                    TLocateOptions options) {
    TRecordBuffer& scratch = *FBuffers[static_cast<size_t>(FRecordCount)];
    InternalFirst();
    while (FetchRecord(scratch, gmNext) == grOK)
        if (RecordMatches(scratch, fields, values, options)) return true;
    return false;
}

bool TDataSet::LocateRecord(std::string_view keyFields, const Variant& keyValues, TLocateOptions options,
                            bool syncCursor) {
    CheckBrowseMode();
    auto fields = GetFieldList(keyFields);
    if (fields.empty()) return false;
    if (fields.size() > 1 &&
        (!keyValues.IsArray() || keyValues.ArrayCount() < static_cast<int>(fields.size())))
        Error("Locate needs one value per key field");
    Variant values = keyValues;
    if (fields.size() == 1 && keyValues.IsArray())
        values = keyValues.ArrayCount() > 0 ? keyValues[0] : Variant::Null();
    CursorPosChanged();
    bool found = LocateRecordInternal(fields, values, options);
    if (!syncCursor) CursorPosChanged();
    return found;
}

bool TDataSet::Locate(std::string_view keyFields, const Variant& keyValues, TLocateOptions options) {
    if (IsUniDirectional()) return false;
    CheckBrowseMode();
    DoBeforeScroll();
    bool found = LocateRecord(keyFields, keyValues, options, true);
    if (found) {
        Resync({rmExact, rmCenter});
        DoAfterScroll();
    } else
        CursorPosChanged();
    return found;
}

Variant TDataSet::Lookup(std::string_view keyFields, const Variant& keyValues,
                         std::string_view resultFields) {
    if (IsUniDirectional() || !GetActive()) return Variant::Null();
    if (FState != dsBrowse && FState != dsInactive) {
        // Looking up while editing must not disturb the record being edited: use a scan that
        // leaves the buffers alone.
    }
    auto results = GetFieldList(resultFields);
    auto fields = GetFieldList(keyFields);
    if (fields.empty()) return Variant::Null();
    Variant values = keyValues;
    if (fields.size() == 1 && keyValues.IsArray())
        values = keyValues.ArrayCount() > 0 ? keyValues[0] : Variant::Null();
    if (fields.size() > 1 &&
        (!keyValues.IsArray() || keyValues.ArrayCount() < static_cast<int>(fields.size())))
        return Variant::Null();
    CursorPosChanged();
    bool found;
    {
        auto done = Finally([&] { CursorPosChanged(); });
        found = LocateRecordInternal(fields, values, {});
    }
    if (!found) return Variant::Null();
    TRecordBuffer& scratch = *FBuffers[static_cast<size_t>(FRecordCount)];
    TRecordBuffer* saveTemp = FTempRecord;
    TDataSetState save = SetTempState(dsFilter);
    FTempRecord = &scratch;
    auto done = Finally([&] {
        FTempRecord = saveTemp;
        RestoreState(save);
    });
    if (results.size() == 1) return results[0]->AsVariant();
    std::vector<Variant> out;
    for (TField* f : results) out.push_back(f->AsVariant());
    return Variant::ArrayOf(std::move(out));
}

QEL_IMPLEMENT_CLASS(TDataSet, [](auto& c) {
    c.Property("Active", &TDataSet::GetActive, &TDataSet::SetActive).Default(false);
    c.Property("AutoCalcFields", &TDataSet::GetAutoCalcFields, &TDataSet::SetAutoCalcFields).Default(true);
    c.Property("Filter", &TDataSet::GetFilter, &TDataSet::SetFilter);
    c.Property("Filtered", &TDataSet::GetFiltered, &TDataSet::SetFiltered).Default(false);
    c.Property("FilterOptions", &TDataSet::GetFilterOptions, &TDataSet::SetFilterOptions)
        .Default(TFilterOptions{});
    c.Event("BeforeOpen", &TDataSet::GetBeforeOpen, &TDataSet::SetBeforeOpen);
    c.Event("AfterOpen", &TDataSet::GetAfterOpen, &TDataSet::SetAfterOpen);
    c.Event("BeforeClose", &TDataSet::GetBeforeClose, &TDataSet::SetBeforeClose);
    c.Event("AfterClose", &TDataSet::GetAfterClose, &TDataSet::SetAfterClose);
    c.Event("BeforeInsert", &TDataSet::GetBeforeInsert, &TDataSet::SetBeforeInsert);
    c.Event("AfterInsert", &TDataSet::GetAfterInsert, &TDataSet::SetAfterInsert);
    c.Event("BeforeEdit", &TDataSet::GetBeforeEdit, &TDataSet::SetBeforeEdit);
    c.Event("AfterEdit", &TDataSet::GetAfterEdit, &TDataSet::SetAfterEdit);
    c.Event("BeforePost", &TDataSet::GetBeforePost, &TDataSet::SetBeforePost);
    c.Event("AfterPost", &TDataSet::GetAfterPost, &TDataSet::SetAfterPost);
    c.Event("BeforeCancel", &TDataSet::GetBeforeCancel, &TDataSet::SetBeforeCancel);
    c.Event("AfterCancel", &TDataSet::GetAfterCancel, &TDataSet::SetAfterCancel);
    c.Event("BeforeDelete", &TDataSet::GetBeforeDelete, &TDataSet::SetBeforeDelete);
    c.Event("AfterDelete", &TDataSet::GetAfterDelete, &TDataSet::SetAfterDelete);
    c.Event("BeforeScroll", &TDataSet::GetBeforeScroll, &TDataSet::SetBeforeScroll);
    c.Event("AfterScroll", &TDataSet::GetAfterScroll, &TDataSet::SetAfterScroll);
    c.Event("BeforeRefresh", &TDataSet::GetBeforeRefresh, &TDataSet::SetBeforeRefresh);
    c.Event("AfterRefresh", &TDataSet::GetAfterRefresh, &TDataSet::SetAfterRefresh);
    c.Event("OnCalcFields", &TDataSet::GetOnCalcFields, &TDataSet::SetOnCalcFields);
    c.Event("OnDeleteError", &TDataSet::GetOnDeleteError, &TDataSet::SetOnDeleteError);
    c.Event("OnEditError", &TDataSet::GetOnEditError, &TDataSet::SetOnEditError);
    c.Event("OnFilterRecord", &TDataSet::GetOnFilterRecord, &TDataSet::SetOnFilterRecord);
    c.Event("OnNewRecord", &TDataSet::GetOnNewRecord, &TDataSet::SetOnNewRecord);
    c.Event("OnPostError", &TDataSet::GetOnPostError, &TDataSet::SetOnPostError);
})

} // namespace qel
