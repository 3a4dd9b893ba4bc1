#include "platform/core/lists.h"

#include <algorithm>

namespace qel {

QEL_IMPLEMENT_CLASS(TList)

void TList::Error(int index) const {
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

void TList::SetCount(int count) {
    if (count < 0) Error(count);
    while (Count() > count) Delete(Count() - 1);
    FItems.resize(static_cast<size_t>(count), nullptr);
}

void TList::SetCapacity(int capacity) {
    if (capacity < Count())
        throw EListError("List capacity out of bounds (" + std::to_string(capacity) + ")");
    FItems.reserve(static_cast<size_t>(capacity));
}

void* TList::Get(int index) const {
    if (index < 0 || index >= Count()) Error(index);
    return FItems[static_cast<size_t>(index)];
}

void TList::Put(int index, void* item) {
    if (index < 0 || index >= Count()) Error(index);
    void* old = FItems[static_cast<size_t>(index)];
    if (old == item) return;
    FItems[static_cast<size_t>(index)] = item;
    if (old) Notify(old, lnDeleted);
    if (item) Notify(item, lnAdded);
}

int TList::Add(void* item) {
    FItems.push_back(item);
    if (item) Notify(item, lnAdded);
    return Count() - 1;
}

void TList::Insert(int index, void* item) {
    if (index < 0 || index > Count()) Error(index);
    FItems.insert(FItems.begin() + index, item);
    if (item) Notify(item, lnAdded);
}

void TList::Delete(int index) {
    if (index < 0 || index >= Count()) Error(index);
    void* item = FItems[static_cast<size_t>(index)];
    FItems.erase(FItems.begin() + index);
    if (item) Notify(item, lnDeleted);
}

int TList::Remove(void* item) {
    int i = IndexOf(item);
    if (i >= 0) Delete(i);
    return i;
}

void* TList::Extract(void* item) {
    int i = IndexOf(item);
    if (i < 0) return nullptr;
    void* r = FItems[static_cast<size_t>(i)];
    FItems.erase(FItems.begin() + i);
    if (r) Notify(r, lnExtracted);
    return r;
}

int TList::IndexOf(const void* item) const {
    auto it = std::find(FItems.begin(), FItems.end(), item);
    return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

void* TList::First() const {
    return Get(0);
}
void* TList::Last() const {
    return Get(Count() - 1);
}

void TList::Clear() {
    while (!FItems.empty()) Delete(Count() - 1);
    FItems.shrink_to_fit();
}

void TList::Move(int curIndex, int newIndex) {
    if (curIndex == newIndex) return;
    if (newIndex < 0 || newIndex >= Count()) Error(newIndex);
    void* item = Get(curIndex);
    FItems.erase(FItems.begin() + curIndex);
    FItems.insert(FItems.begin() + newIndex, item);
}

void TList::Exchange(int a, int b) {
    if (a < 0 || a >= Count()) Error(a);
    if (b < 0 || b >= Count()) Error(b);
    std::swap(FItems[static_cast<size_t>(a)], FItems[static_cast<size_t>(b)]);
}

void TList::Pack() {
    FItems.erase(std::remove(FItems.begin(), FItems.end(), nullptr), FItems.end());
}

void TList::Sort(const std::function<int(void*, void*)>& compare) {
    std::stable_sort(FItems.begin(), FItems.end(), [&](void* a, void* b) { return compare(a, b) < 0; });
}

void TList::Assign(const TList& source) {
    if (&source == this) return;
    Clear();
    for (void* p : source.FItems) Add(p);
}

void TThreadList::Add(void* item) {
    std::lock_guard g(FLock);
    if (FDuplicates == dupAccept || FList.IndexOf(item) < 0)
        FList.Add(item);
    else if (FDuplicates == dupError)
        throw EListError("List does not allow duplicates");
}

void TThreadList::Remove(void* item) {
    std::lock_guard g(FLock);
    FList.Remove(item);
}

void TThreadList::Clear() {
    std::lock_guard g(FLock);
    FList.Clear();
}

} // namespace qel
