#pragma once
// TCollection and TCollectionItem: an owned, ordered list of persistent items of one class, streamed
// in form files as "Items = < item ... end >", and TOwnedCollection, which knows its owner (for name
// paths such as "Form1.qelButtonList1.Items[2]").
#include <string>
#include <vector>

#include "platform/core/component.h"

namespace qel {

class TCollection;

QEL_ENUM(TCollectionNotification, cnAdded, cnExtracting, cnDeleting)

class TCollectionItem : public TPersistent {
    QEL_CLASS(TCollectionItem, TPersistent)
    explicit TCollectionItem(TCollection* collection = nullptr);
    ~TCollectionItem() override;
    TCollectionItem(const TCollectionItem&) = delete;
    TCollectionItem& operator=(const TCollectionItem&) = delete;

    TCollection* Collection() const { return FCollection; }
    // Moves the item into another collection (nil: detaches it; the caller then owns it).
    virtual void SetCollection(TCollection* collection);
    // A number unique within the collection, kept for the item's lifetime.
    int ID() const { return FID; }
    int GetIndex() const;
    virtual void SetIndex(int index);
    // The text shown by editors; the class name unless a descendant says otherwise.
    virtual std::string GetDisplayName() const { return ClassName(); }
    virtual void SetDisplayName(const std::string&) { Changed(false); }
    TPersistent* GetOwner() const override;
    std::string GetNamePath() const override;

protected:
    // Tells the collection that this item (or, with allItems, the whole collection) changed.
    void Changed(bool allItems);

private:
    friend class TCollection;
    TCollection* FCollection = nullptr;
    int FID = 0;
};

class TCollection : public TPersistent {
    QEL_CLASS(TCollection, TPersistent)
    // `itemClass` must be a registered, default-constructible TCollectionItem descendant (or override
    // CreateItem).
    explicit TCollection(TClass itemClass = TCollectionItem::StaticClass());
    ~TCollection() override;
    TCollection(const TCollection&) = delete;
    TCollection& operator=(const TCollection&) = delete;

    TClass ItemClass() const { return FItemClass; }
    int Count() const { return static_cast<int>(FItems.size()); }
    // EListError "List index out of bounds (%d)".
    TCollectionItem* Items(int index) const;
    TCollectionItem* operator[](int index) const { return Items(index); }
    template <typename T>
    T* ItemAs(int index) const {
        return dynamic_cast<T*>(Items(index));
    }
    // Assigns `value` to the item at `index`.
    void SetItem(int index, TCollectionItem* value);

    TCollectionItem* Add();
    template <typename T>
    T* AddAs() {
        return dynamic_cast<T*>(Add());
    }
    TCollectionItem* Insert(int index);
    void Delete(int index);
    void Clear();
    TCollectionItem* FindItemID(int id) const;

    // Changes inside an update pair notify once, at the final EndUpdate.
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

    // Replaces the items with copies of `source`'s (a TCollection); items copy through Assign.
    void Assign(TPersistent* source) override;
    std::string GetNamePath() const override;
    // The name of the owner's published property holding this collection ("" when none).
    std::string PropName() const;

protected:
    // Called after changes: `item` changed, or nil when the whole collection did.
    virtual void Update(TCollectionItem* item) {}
    virtual void Notify(TCollectionItem* item, TCollectionNotification action) {}
    virtual void SetUpdateState(bool updating) {}
    virtual TCollectionItem* CreateItem();
    void Changed();

private:
    friend class TCollectionItem;
    void InsertItem(TCollectionItem* item);
    void RemoveItem(TCollectionItem* item);
    void Error(int index) const;

    TClass FItemClass;
    std::vector<TCollectionItem*> FItems;
    int FUpdateCount = 0;
    int FNextID = 0;
};

// A collection that names its owner (a component or another persistent).
class TOwnedCollection : public TCollection {
    QEL_CLASS(TOwnedCollection, TCollection)
    TOwnedCollection(TPersistent* owner, TClass itemClass) : TCollection(itemClass), FOwner(owner) {}
    TPersistent* GetOwner() const override { return FOwner; }

private:
    TPersistent* FOwner;
};

} // namespace qel
