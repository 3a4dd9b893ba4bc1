#include <gtest/gtest.h>

#include "form_classes.h"
#include "platform/core/lists.h"

using namespace qel;
using namespace qeltest;

TEST(List, PointerListOperationsAndBoundsErrors) {
    int a = 1, b = 2, c = 3;
    TList l;
    EXPECT_EQ(l.Add(&a), 0);
    l.Add(&b);
    l.Insert(0, &c);
    EXPECT_EQ(l.Count(), 3);
    EXPECT_EQ(l[0], &c);
    EXPECT_EQ(l.IndexOf(&b), 2);
    EXPECT_EQ(l.Remove(&a), 1);
    EXPECT_EQ(l.Remove(&a), -1);
    l.Add(nullptr);
    l.Add(&a);
    l.Pack();
    EXPECT_EQ(l.Count(), 3);
    l.Move(0, 2);
    EXPECT_EQ(l.Last(), &c);
    l.Exchange(0, 2);
    EXPECT_EQ(l.First(), &c);
    EXPECT_EQ(l.Extract(&b), &b);
    EXPECT_EQ(l.Extract(&b), nullptr);
    for (int bad : {-1, 2, 100}) {
        try {
            l.Get(bad);
            ADD_FAILURE();
        } catch (const EListError& e) {
            EXPECT_EQ(std::string(e.what()), "List index out of bounds (" + std::to_string(bad) + ")");
        }
    }
    EXPECT_THROW(l.Insert(5, &a), EListError);
    EXPECT_THROW(l.Delete(2), EListError);
    TList empty;
    EXPECT_THROW(empty.First(), EListError);
    l.SetCount(4);
    EXPECT_EQ(l[3], nullptr);
    l.SetCount(1);
    EXPECT_EQ(l.Count(), 1);
}

TEST(List, SortIsStable) {
    struct P {
        int Key, Order;
    };
    std::vector<P> items{{2, 0}, {1, 1}, {2, 2}, {1, 3}, {0, 4}};
    TList l;
    for (auto& p : items) l.Add(&p);
    l.Sort([](void* x, void* y) { return static_cast<P*>(x)->Key - static_cast<P*>(y)->Key; });
    std::vector<int> order;
    for (int i = 0; i < l.Count(); ++i) order.push_back(static_cast<P*>(l[i])->Order);
    EXPECT_EQ(order, (std::vector<int>{4, 1, 3, 0, 2}));
}

TEST(ThreadList, LockedAccessAndDuplicates) {
    TThreadList tl;
    int a = 0;
    tl.Add(&a);
    tl.Add(&a); // ignored by default
    TList* l = tl.LockList();
    EXPECT_EQ(l->Count(), 1);
    tl.UnlockList();
    tl.SetDuplicates(dupError);
    EXPECT_THROW(tl.Add(&a), EListError);
    tl.Remove(&a);
    EXPECT_EQ(tl.LockList()->Count(), 0);
    tl.UnlockList();
}

TEST(Collection, ItemsIdsIndexesAndNotifications) {
    TTestControl owner(nullptr);
    owner.SetName("Owner");
    TTestItems& items = *owner.GetItems();
    auto* first = items.AddAs<TTestItem>();
    auto* second = items.AddAs<TTestItem>();
    auto* inserted = dynamic_cast<TTestItem*>(items.Insert(0));
    ASSERT_TRUE(first && second && inserted);
    EXPECT_EQ(items.Count(), 3);
    EXPECT_EQ(first->ID(), 0);
    EXPECT_EQ(second->ID(), 1);
    EXPECT_EQ(inserted->ID(), 2);
    EXPECT_EQ(inserted->GetIndex(), 0);
    EXPECT_EQ(items.FindItemID(1), second);
    EXPECT_EQ(second->GetNamePath(), "Owner.Items[2]");
    EXPECT_EQ(items.PropName(), "Items");
    EXPECT_EQ(first->GetDisplayName(), "TTestItem");
    first->SetCaption("One");
    EXPECT_EQ(first->GetDisplayName(), "One");

    items.Updates.clear();
    second->SetCaption("Two"); // one item changed
    second->SetIndex(0);       // the whole collection changed
    EXPECT_EQ(items.Updates, (std::vector<int>{2, -1}));
    items.Updates.clear();
    items.BeginUpdate();
    items.Add();
    first->SetCaption("Uno");
    items.Delete(0);
    EXPECT_TRUE(items.Updates.empty());
    items.EndUpdate();
    EXPECT_EQ(items.Updates, (std::vector<int>{-1})); // once, at the end
    EXPECT_EQ(items.Count(), 3);
    EXPECT_THROW(items.Items(3), EListError);
    EXPECT_THROW(items.Insert(9), EListError);

    // An item moved to another collection leaves the first one; deleting an item removes it.
    TTestItems other;
    first->SetCollection(&other);
    EXPECT_EQ(items.Count(), 2);
    EXPECT_EQ(other.Count(), 1);
    delete items.Items(0);
    EXPECT_EQ(items.Count(), 1);
    EXPECT_EQ(other[0]->GetNamePath(), "TTestItems[0]");
}

TEST(Collection, AssignCopiesItems) {
    TTestItems a, b;
    a.AddAs<TTestItem>()->SetCaption("x");
    a.AddAs<TTestItem>()->SetValue(5);
    b.AddAs<TTestItem>();
    b.Assign(&a);
    ASSERT_EQ(b.Count(), 2);
    EXPECT_EQ(b.ItemAs<TTestItem>(0)->GetCaption(), "x");
    EXPECT_EQ(b.ItemAs<TTestItem>(1)->GetValue(), 5);
    TStringList notACollection;
    EXPECT_THROW(b.Assign(&notACollection), EConvertError);
    EXPECT_EQ(b.Count(), 2);
}

TEST(Collection, ItemsOfAnUncreatableClassAreRefused) {
    TCollection c(TComponent::StaticClass());
    EXPECT_THROW(c.Add(), EInvalidOperation);
    EXPECT_EQ(c.Count(), 0);
}
