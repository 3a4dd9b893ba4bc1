#include "platform/core/collection.h"

#include <algorithm>

namespace qel {

QEL_IMPLEMENT_CLASS(TCollectionItem)
QEL_IMPLEMENT_CLASS(TCollection)
QEL_IMPLEMENT_CLASS(TOwnedCollection)

TCollectionItem::TCollectionItem(TCollection* collection) {
    SetCollection(collection);
}

TCollectionItem::~TCollectionItem() {
    if (FCollection) FCollection->RemoveItem(this);
}

void TCollectionItem::SetCollection(TCollection* collection) {
    if (collection == FCollection) return;
    if (FCollection) FCollection->RemoveItem(this);
    if (collection) collection->InsertItem(this);
}

int TCollectionItem::GetIndex() const {
    if (!FCollection) return -1;
    auto& v = FCollection->FItems;
    return static_cast<int>(std::find(v.begin(), v.end(), this) - v.begin());
}

void TCollectionItem::SetIndex(int index) {
    int cur = GetIndex();
    if (cur < 0 || index == cur) return;
    auto& v = FCollection->FItems;
    if (index < 0) index = 0;
    if (index >= static_cast<int>(v.size())) index = static_cast<int>(v.size()) - 1;
    v.erase(v.begin() + cur);
    v.insert(v.begin() + index, this);
    Changed(true);
}

TPersistent* TCollectionItem::GetOwner() const {
    return FCollection;
}

std::string TCollectionItem::GetNamePath() const {
    if (!FCollection) return ClassName();
    return FCollection->GetNamePath() + "[" + std::to_string(GetIndex()) + "]";
}

void TCollectionItem::Changed(bool allItems) {
    if (FCollection && FCollection->FUpdateCount == 0) FCollection->Update(allItems ? nullptr : this);
}

TCollection::TCollection(TClass itemClass) : FItemClass(itemClass) {}

TCollection::~TCollection() {
    FUpdateCount = 1; // no notifications while dying
    while (!FItems.empty()) delete FItems.back();
}

void TCollection::Error(int index) const {
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

TCollectionItem* TCollection::Items(int index) const {
    if (index < 0 || index >= Count()) Error(index);
    return FItems[static_cast<size_t>(index)];
}

void TCollection::SetItem(int index, TCollectionItem* value) {
    Items(index)->Assign(value);
}

TCollectionItem* TCollection::CreateItem() {
    if (!FItemClass || !FItemClass->Create)
        throw EInvalidOperation("Cannot create items of " +
                                (FItemClass ? FItemClass->Name : std::string("nil")));
    TObject* obj = FItemClass->Create(nullptr);
    auto* item = dynamic_cast<TCollectionItem*>(obj);
    if (!item) {
        delete obj;
        throw EInvalidOperation(FItemClass->Name + " is not a collection item class");
    }
    return item;
}

TCollectionItem* TCollection::Add() {
    TCollectionItem* item = CreateItem();
    if (item->FCollection != this) {
        try {
            item->SetCollection(this);
        } catch (...) {
            delete item;
            throw;
        }
    }
    return item;
}

TCollectionItem* TCollection::Insert(int index) {
    if (index < 0 || index > Count()) Error(index);
    BeginUpdate();
    TCollectionItem* item = nullptr;
    try {
        item = Add();
        item->SetIndex(index);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
    return item;
}

void TCollection::Delete(int index) {
    TCollectionItem* item = Items(index);
    Notify(item, cnDeleting);
    delete item; // its destructor removes it
}

void TCollection::Clear() {
    if (FItems.empty()) return;
    BeginUpdate();
    while (!FItems.empty()) {
        TCollectionItem* item = FItems.back();
        Notify(item, cnDeleting);
        delete item;
    }
    EndUpdate();
}

TCollectionItem* TCollection::FindItemID(int id) const {
    for (TCollectionItem* i : FItems)
        if (i->FID == id) return i;
    return nullptr;
}

void TCollection::BeginUpdate() {
    if (FUpdateCount++ == 0) SetUpdateState(true);
}

void TCollection::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0) {
        SetUpdateState(false);
        Changed();
    }
}

void TCollection::Changed() {
    if (FUpdateCount == 0) Update(nullptr);
}

void TCollection::InsertItem(TCollectionItem* item) {
    FItems.push_back(item);
    item->FCollection = this;
    item->FID = FNextID++;
    Notify(item, cnAdded);
    Changed();
}

void TCollection::RemoveItem(TCollectionItem* item) {
    Notify(item, cnExtracting);
    FItems.erase(std::remove(FItems.begin(), FItems.end(), item), FItems.end());
    item->FCollection = nullptr;
    Changed();
}

void TCollection::Assign(TPersistent* source) {
    if (auto* src = dynamic_cast<TCollection*>(source)) {
        if (src == this) return;
        BeginUpdate();
        try {
            Clear();
            for (TCollectionItem* i : src->FItems) Add()->Assign(i);
        } catch (...) {
            EndUpdate();
            throw;
        }
        EndUpdate();
        return;
    }
    TPersistent::Assign(source);
}

std::string TCollection::PropName() const {
    TPersistent* owner = GetOwner();
    if (!owner) return {};
    for (const TPropInfo* p : owner->ClassType()->Properties()) {
        if (p->Kind != TTypeKind::Class || !p->Get) continue;
        TValue v = p->Get(owner);
        if (auto* o = std::get_if<TObject*>(&v); o && *o == this) return p->Name;
    }
    return {};
}

std::string TCollection::GetNamePath() const {
    TPersistent* owner = GetOwner();
    if (!owner) return ClassName();
    std::string prop = PropName();
    std::string path = owner->GetNamePath();
    if (prop.empty()) return path.empty() ? ClassName() : path;
    return path.empty() ? prop : path + "." + prop;
}

} // namespace qel
