#include <gtest/gtest.h>

#include "platform/core/component.h"
#include "platform/core/strings.h"

using namespace qel;

namespace {

QEL_ENUM(TFruit, frApple, frPear, frPlum)

class TBasket : public TComponent {
    QEL_CLASS(TBasket, TComponent)
    using TComponent::TComponent;
    TFruit GetFruit() const { return FFruit; }
    void SetFruit(TFruit f) { FFruit = f; }
    Set<TFruit> GetFruits() const { return FFruits; }
    void SetFruits(Set<TFruit> f) { FFruits = f; }
    TComponent* GetPartner() const { return FPartner; }
    void SetPartner(TComponent* c) {
        if (FPartner == c) return;
        if (FPartner) FPartner->RemoveFreeNotification(this);
        FPartner = c;
        if (c) c->FreeNotification(this);
    }
    TNotifyEvent GetOnFill() const { return FOnFill; }
    void SetOnFill(TNotifyEvent e) { FOnFill = e; }
    void Handler(TObject*) { ++Calls; }
    int Calls = 0;
    std::vector<std::string> Removed;

protected:
    void Notification(TComponent* c, TOperation op) override {
        TComponent::Notification(c, op);
        if (op == opRemove) {
            Removed.push_back(c->GetName());
            if (c == FPartner) FPartner = nullptr;
        }
    }

private:
    TFruit FFruit = frApple;
    Set<TFruit> FFruits;
    TComponent* FPartner = nullptr;
    TNotifyEvent FOnFill;
};

QEL_IMPLEMENT_CLASS(TBasket, [](auto& c) {
    c.Property("Fruit", &TBasket::GetFruit, &TBasket::SetFruit).Default(frApple);
    c.Property("Fruits", &TBasket::GetFruits, &TBasket::SetFruits).Default(Set<TFruit>{});
    c.Property("Partner", &TBasket::GetPartner, &TBasket::SetPartner);
    c.Event("OnFill", &TBasket::GetOnFill, &TBasket::SetOnFill);
    c.Method("Handler", &TBasket::Handler);
})

} // namespace

TEST(ClassRegistry, FindsRegisteredClassesCaseInsensitively) {
    EXPECT_EQ(FindClass("tbasket"), TBasket::StaticClass());
    EXPECT_EQ(GetClass("TNoSuchThing"), nullptr);
    try {
        FindClass("TNoSuchThing");
        FAIL();
    } catch (const EClassNotFound& e) {
        EXPECT_STREQ(e.what(), "Class TNoSuchThing not found");
    }
    TBasket b(nullptr);
    EXPECT_EQ(b.ClassName(), "TBasket");
    EXPECT_TRUE(b.InheritsFrom(TComponent::StaticClass()));
    EXPECT_FALSE(b.InheritsFrom(TStrings::StaticClass()));
}

TEST(PropertyTable, KeepsDeclarationOrderAndDrivesValues) {
    auto props = TBasket::StaticClass()->Properties();
    std::vector<std::string> names;
    for (auto* p : props) names.push_back(p->Name);
    EXPECT_EQ(names, (std::vector<std::string>{"Name", "Tag", "Fruit", "Fruits", "Partner", "OnFill"}));

    TBasket b(nullptr);
    const TPropInfo* fruit = TBasket::StaticClass()->FindProperty("FRUIT");
    ASSERT_TRUE(fruit);
    EXPECT_EQ(fruit->Kind, TTypeKind::Enumeration);
    EXPECT_FALSE(fruit->IsStored(&b));
    fruit->Set(&b, int64_t{frPlum});
    EXPECT_EQ(b.GetFruit(), frPlum);
    EXPECT_TRUE(fruit->IsStored(&b));
    EXPECT_EQ(fruit->Enum->NameOf(b.GetFruit()), "frPlum");
    EXPECT_EQ(fruit->Enum->ValueOf("FRPEAR"), 1);

    const TPropInfo* fruits = TBasket::StaticClass()->FindProperty("Fruits");
    fruits->Set(&b, int64_t{0b101});
    EXPECT_TRUE(b.GetFruits().Contains(frApple));
    EXPECT_FALSE(b.GetFruits().Contains(frPear));
    EXPECT_TRUE(b.GetFruits().Contains(frPlum));
}

TEST(Events, DelegatesCompareByObjectAndMember) {
    TBasket a(nullptr), b(nullptr);
    TNotifyEvent e1(&a, &TBasket::Handler), e2(&a, &TBasket::Handler), e3(&b, &TBasket::Handler);
    EXPECT_EQ(e1, e2);
    EXPECT_FALSE(e1 == e3);
    e1(nullptr);
    EXPECT_EQ(a.Calls, 1);
    TNotifyEvent lambda([&](TObject*) { b.Calls += 10; });
    TNotifyEvent copy = lambda;
    EXPECT_EQ(lambda, copy);
    EXPECT_FALSE(lambda == TNotifyEvent([](TObject*) {}));
    copy(nullptr);
    EXPECT_EQ(b.Calls, 10);

    // Bound by name through the class's handler table, as form files do.
    const TMethodEntry* m = TBasket::StaticClass()->FindMethod("handler");
    ASSERT_TRUE(m);
    TMethod bound = m->Bind(&b);
    TBasket::StaticClass()->FindProperty("OnFill")->Set(&a, bound);
    a.GetOnFill()(&a);
    EXPECT_EQ(b.Calls, 11);
    EXPECT_EQ(a.GetOnFill(), TNotifyEvent(&b, &TBasket::Handler));
}

TEST(Ownership, OwnerFreesTreeAndNamesAreUniquePerOwner) {
    auto* root = new TBasket(nullptr);
    auto* a = new TBasket(root);
    a->SetName("Alpha");
    auto* b = new TBasket(root);
    EXPECT_THROW(b->SetName("ALPHA"), EComponentError);
    EXPECT_THROW(b->SetName("1bad"), EComponentError);
    b->SetName("Beta");
    auto* nested = new TBasket(a);
    nested->SetName("Alpha"); // another owner: allowed
    EXPECT_EQ(root->FindComponent("beta"), b);
    EXPECT_EQ(root->ComponentCount(), 2);
    EXPECT_EQ(b->ComponentIndex(), 1);
    delete a; // removes itself from its owner
    EXPECT_EQ(root->ComponentCount(), 1);
    delete root; // frees b; the sanitizer reports any leak or double free
}

TEST(Ownership, FreeNotificationClearsReferencesAcrossOwners) {
    TBasket formA(nullptr), formB(nullptr);
    auto* user = new TBasket(&formA);
    auto* target = new TBasket(&formB);
    target->SetName("Target");
    user->SetPartner(target);
    EXPECT_EQ(target->FreeNotifies().size(), 1u);
    delete target;
    EXPECT_EQ(user->GetPartner(), nullptr);
    EXPECT_TRUE(user->FreeNotifies().empty());
    // Destroying the user first must leave the target with no dangling back-reference.
    auto* t2 = new TBasket(&formB);
    user->SetPartner(t2);
    delete user;
    EXPECT_TRUE(t2->FreeNotifies().empty());
}

TEST(Persistent, AssignWithoutConversionRaisesConvertError) {
    TStringList list;
    TBasket b(nullptr);
    try {
        list.Assign(&b);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TBasket to a TStringList");
    }
    EXPECT_THROW(list.Assign(nullptr), EConvertError);
}

TEST(StringList, SortedFindIsCaseInsensitiveAndKeepsObjects) {
    TStringList l;
    l.SetSorted(true);
    for (const char* s : {"pear", "Apple", "plum", "banana"}) l.Add(s);
    EXPECT_EQ(l.GetCommaText(), "Apple,banana,pear,plum");
    int i = -1;
    EXPECT_TRUE(l.Find("PEAR", i));
    EXPECT_EQ(i, 2);
    EXPECT_FALSE(l.Find("cherry", i));
    EXPECT_EQ(i, 2);
    EXPECT_THROW(l.Insert(0, "x"), EStringListError);
    EXPECT_THROW(l.Get(9), EStringListError);
    l.SetDuplicates(dupError);
    EXPECT_THROW(l.Add("apple"), EStringListError);

    TStringList v;
    v.SetText("a=1\r\nb=2\nc");
    EXPECT_EQ(v.Count(), 3);
    EXPECT_EQ(v.Values("B"), "2");
    v.SetCommaText("\"x y\", z,\"q\"\"r\"");
    EXPECT_EQ(v.Count(), 3);
    EXPECT_EQ(v[0], "x y");
    EXPECT_EQ(v[2], "q\"r");
}
