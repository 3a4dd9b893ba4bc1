#include <algorithm>

#include "platform/data/dataset.h"

namespace qel {

// ---- TDataLink -----------------------------------------------------------------------------------

TDataLink::TDataLink() = default;

TDataLink::~TDataLink() {
    if (FDataSource) FDataSource->RemoveDataLink(this);
}

TDataSet* TDataLink::DataSet() const {
    return FDataSource ? FDataSource->GetDataSet() : nullptr;
}

void TDataLink::SetDataSource(TDataSource* source) {
    if (source == FDataSource) return;
    if (FDataSource) FDataSource->RemoveDataLink(this);
    if (source) source->AddDataLink(this);
}

void TDataLink::SetReadOnly(bool v) {
    if (v == FReadOnly) return;
    FReadOnly = v;
    UpdateState();
}

void TDataLink::UpdateState() {
    bool active = FDataSource && FDataSource->State() != dsInactive;
    SetActive(active);
    SetEditing(active && IsEditMode(FDataSource->State()) && !FReadOnly);
}

void TDataLink::SetActive(bool value) {
    if (value == FActive) return;
    FActive = value;
    FFirstRecord = 0;
    if (value) {
        TDataSet* ds = DataSet();
        if (ds && ds->ActiveRecord() >= FBufferCount) FFirstRecord = ds->ActiveRecord() - FBufferCount + 1;
    }
    ActiveChanged();
}

void TDataLink::SetEditing(bool value) {
    if (value == FEditing) return;
    FEditing = value;
    EditingChanged();
}

int TDataLink::GetActiveRecord() const {
    TDataSet* ds = DataSet();
    if (!FActive || !ds || FDataSource->State() == dsSetKey) return 0;
    return ds->ActiveRecord() - FFirstRecord;
}

void TDataLink::SetActiveRecord(int value) {
    TDataSet* ds = DataSet();
    if (!FActive || !ds || FDataSource->State() == dsSetKey) return;
    ds->SetActiveRecordInternal(value + FFirstRecord);
}

void TDataLink::SetBufferCount(int value) {
    if (value < 1) value = 1;
    if (value == FBufferCount) return;
    FBufferCount = value;
    if (TDataSet* ds = DataSet()) {
        ds->UpdateBufferCount();
        if (FActive) {
            int active = ds->ActiveRecord();
            if (active < FFirstRecord)
                FFirstRecord = active;
            else if (active > FFirstRecord + FBufferCount - 1)
                FFirstRecord = active - FBufferCount + 1;
            if (FFirstRecord < 0) FFirstRecord = 0;
        }
    }
}

int TDataLink::RecordCount() const {
    TDataSet* ds = DataSet();
    if (!FActive || !ds) return 0;
    int n = ds->BufferedRecordCount() - FFirstRecord;
    if (n > FBufferCount) n = FBufferCount;
    return n < 0 ? 0 : n;
}

bool TDataLink::Bof() const {
    TDataSet* ds = DataSet();
    return !ds || ds->Bof();
}

bool TDataLink::Eof() const {
    TDataSet* ds = DataSet();
    return !ds || ds->Eof();
}

bool TDataLink::Edit() {
    if (FDataSource && !FReadOnly) FDataSource->Edit();
    return FEditing;
}

void TDataLink::UpdateRecord() {
    FUpdating = true;
    try {
        UpdateData();
    } catch (...) {
        FUpdating = false;
        throw;
    }
    FUpdating = false;
}

void TDataLink::DataEvent(TDataEvent event, intptr_t info) {
    if (event == deUpdateState) {
        UpdateState();
        return;
    }
    if (!FActive) return;
    switch (event) {
    case deFieldChange:
    case deRecordChange:
        if (!FUpdating) RecordChanged(reinterpret_cast<TField*>(info));
        break;
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange: {
        int count = 0;
        TDataSet* ds = DataSet();
        if (ds && FDataSource->State() != dsSetKey) {
            int active = ds->ActiveRecord();
            int first = FFirstRecord + static_cast<int>(info);
            int last = first + FBufferCount - 1;
            if (active > last)
                count = active - last;
            else if (active < first)
                count = active - first;
            FFirstRecord = first + count;
        }
        if (event == deDataSetChange)
            DataSetChanged();
        else if (event == deDataSetScroll)
            DataSetScrolled(count);
        else
            LayoutChanged();
        break;
    }
    case deUpdateRecord: UpdateRecord(); break;
    case deCheckBrowseMode: CheckBrowseMode(); break;
    case deFocusControl: FocusControl(reinterpret_cast<TField**>(info)); break;
    default: break;
    }
}

// ---- TFieldDataLink ------------------------------------------------------------------------------

void TFieldDataLink::SetFieldName(const std::string& name) {
    if (name == FFieldName) return;
    FFieldName = name;
    UpdateField();
}

void TFieldDataLink::UpdateField() {
    TField* f = nullptr;
    if (Active() && !FFieldName.empty()) f = DataSet()->FindField(FFieldName);
    if (f != FField) {
        FField = f;
        FModified = false;
        if (OnActiveChange) OnActiveChange(this);
    }
    if (OnDataChange) OnDataChange(this);
}

bool TFieldDataLink::CanModify() const {
    return !GetReadOnly() && FField && FField->CanModify();
}

void TFieldDataLink::Reset() {
    FModified = false;
    if (OnDataChange) OnDataChange(this);
}

void TFieldDataLink::ActiveChanged() {
    UpdateField();
    if (OnActiveChange) OnActiveChange(this);
}

void TFieldDataLink::EditingChanged() {
    if (OnEditingChange) OnEditingChange(this);
}

void TFieldDataLink::FocusControl(TField** field) {
    if (field && *field && *field == FField && FControl) *field = nullptr;
}

void TFieldDataLink::LayoutChanged() {
    UpdateField();
}

void TFieldDataLink::RecordChanged(TField* field) {
    if (!field || field == FField) {
        FModified = false;
        if (OnDataChange) OnDataChange(this);
    }
}

void TFieldDataLink::UpdateData() {
    if (FModified) {
        if (FField && OnUpdateData) OnUpdateData(this);
        FModified = false;
    }
}

// ---- TDataSource ---------------------------------------------------------------------------------

TDataSource::TDataSource(TComponent* owner) : TComponent(owner) {}

TDataSource::~TDataSource() {
    Destroying();
    while (!FDataLinks.empty()) FDataLinks.back()->SetDataSource(nullptr);
    SetDataSet(nullptr);
}

void TDataSource::SetDataSet(TDataSet* dataset) {
    if (dataset == FDataSet) return;
    if (dataset && dataset->IsLinkedTo(this)) DatabaseError("Circular datalinks are not allowed");
    // Links see the change as "inactive, then active with the new dataset".
    SetState(dsInactive);
    if (FDataSet) {
        FDataSet->RemoveDataSource(this);
        FDataSet->RemoveFreeNotification(this);
    }
    FDataSet = dataset;
    if (dataset) {
        dataset->AddDataSource(this);
        dataset->FreeNotification(this);
    }
    SetState(FDataSet && FEnabled ? (FDataSet->State() == dsOpening ? dsInactive : FDataSet->State())
                                  : dsInactive);
}

void TDataSource::SetEnabled(bool v) {
    if (v == FEnabled) return;
    FEnabled = v;
    SetState(FDataSet && FEnabled ? FDataSet->State() : dsInactive);
}

void TDataSource::Edit() {
    if (FAutoEdit && FDataSet && FState == dsBrowse) FDataSet->Edit();
}

bool TDataSource::IsLinkedTo(TDataSet* dataset) const {
    if (!dataset) return false;
    return dataset->IsLinkedTo(const_cast<TDataSource*>(this));
}

void TDataSource::AddDataLink(TDataLink* link) {
    FDataLinks.push_back(link);
    link->FDataSource = this;
    if (FDataSet) FDataSet->UpdateBufferCount();
    link->UpdateState();
}

void TDataSource::RemoveDataLink(TDataLink* link) {
    FDataLinks.erase(std::remove(FDataLinks.begin(), FDataLinks.end(), link), FDataLinks.end());
    link->FDataSource = nullptr;
    link->UpdateState();
    if (FDataSet) FDataSet->UpdateBufferCount();
}

void TDataSource::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == opRemove && component == FDataSet) SetDataSet(nullptr);
}

void TDataSource::SetState(TDataSetState value) {
    if (value == dsOpening) value = dsInactive;
    if (value == FState) return;
    TDataSetState prior = FState;
    FState = value;
    NotifyDataLinks(deUpdateState, 0);
    if (!IsDestroying()) {
        if (FOnStateChange) FOnStateChange(this);
        if (prior == dsInactive && FOnDataChange) FOnDataChange(this, nullptr);
    }
}

void TDataSource::NotifyDataLinks(TDataEvent event, intptr_t info) {
    // Visual controls first, then the others; a link removed meanwhile is skipped.
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<TDataLink*> links = FDataLinks;
        for (auto it = links.rbegin(); it != links.rend(); ++it) {
            TDataLink* l = *it;
            if (l->GetVisualControl() != (pass == 0)) continue;
            if (std::find(FDataLinks.begin(), FDataLinks.end(), l) == FDataLinks.end()) continue;
            l->DataEvent(event, info);
        }
    }
}

void TDataSource::DataEvent(TDataEvent event, intptr_t info) {
    if (event == deUpdateState) {
        SetState(FDataSet && FEnabled ? FDataSet->State() : dsInactive);
        return;
    }
    if (FState == dsInactive) return;
    NotifyDataLinks(event, info);
    switch (event) {
    case deFieldChange:
        if (FOnDataChange) FOnDataChange(this, reinterpret_cast<TField*>(info));
        break;
    case deRecordChange:
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange:
        if (FOnDataChange) FOnDataChange(this, nullptr);
        break;
    case deUpdateRecord:
        if (FOnUpdateData) FOnUpdateData(this);
        break;
    default: break;
    }
}

QEL_IMPLEMENT_CLASS(TDataLink)
QEL_IMPLEMENT_CLASS(TFieldDataLink)
QEL_IMPLEMENT_CLASS(TDataSource, [](auto& c) {
    c.Property("AutoEdit", &TDataSource::GetAutoEdit, &TDataSource::SetAutoEdit).Default(true);
    c.Property("DataSet", &TDataSource::GetDataSet, &TDataSource::SetDataSet);
    c.Property("Enabled", &TDataSource::GetEnabled, &TDataSource::SetEnabled).Default(true);
    c.Event("OnStateChange", &TDataSource::GetOnStateChange, &TDataSource::SetOnStateChange);
    c.Event("OnDataChange", &TDataSource::GetOnDataChange, &TDataSource::SetOnDataChange);
    c.Event("OnUpdateData", &TDataSource::GetOnUpdateData, &TDataSource::SetOnUpdateData);
})

} // namespace qel
