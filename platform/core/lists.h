#pragma once
// TList, the platform's list of untyped pointers, and TThreadList, a TList guarded by a lock.
#include <functional>
#include <mutex>
#include <vector>

#include "platform/core/strings.h"

namespace qel {

QEL_ENUM(TListNotification, lnAdded, lnExtracted, lnDeleted)

class TList : public TObject {
    QEL_CLASS(TList, TObject)
    TList() = default;
    ~TList() override = default;

    int Count() const { return static_cast<int>(FItems.size()); }
    // Growing the count adds nil entries; shrinking drops entries from the end.
    void SetCount(int count);
    int Capacity() const { return static_cast<int>(FItems.capacity()); }
    void SetCapacity(int capacity);

    // EListError "List index out of bounds (%d)" for a bad index.
    void* Get(int index) const;
    void Put(int index, void* item);
    void* Items(int index) const { return Get(index); }
    void* operator[](int index) const { return Get(index); }

    int Add(void* item);
    void Insert(int index, void* item);
    void Delete(int index);
    // Removes the first occurrence; returns its former index or -1.
    int Remove(void* item);
    // Removes the first occurrence and returns the item (nil when absent).
    void* Extract(void* item);
    int IndexOf(const void* item) const;
    void* First() const;
    void* Last() const;
    void Clear();
    void Move(int curIndex, int newIndex);
    void Exchange(int a, int b);
    // Removes every nil entry.
    void Pack();
    // Stable sort with a comparison returning <0, 0 or >0 (equal items keep their order).
    void Sort(const std::function<int(void*, void*)>& compare);
    void Assign(const TList& source);

    const std::vector<void*>& List() const { return FItems; }

protected:
    virtual void Notify(void* item, TListNotification action) {}
    [[noreturn]] void Error(int index) const;

private:
    std::vector<void*> FItems;
};

// A TList shared between threads: LockList returns the list with the (re-entrant) lock held.
class TThreadList {
public:
    TThreadList() = default;
    TThreadList(const TThreadList&) = delete;
    TThreadList& operator=(const TThreadList&) = delete;
    TList* LockList() {
        FLock.lock();
        return &FList;
    }
    void UnlockList() { FLock.unlock(); }
    void Add(void* item);
    void Remove(void* item);
    void Clear();
    TDuplicates Duplicates() const { return FDuplicates; }
    void SetDuplicates(TDuplicates d) { FDuplicates = d; }

private:
    std::recursive_mutex FLock;
    TList FList;
    TDuplicates FDuplicates = dupIgnore;
};

} // namespace qel
