#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mem_dataset.h"
#include "platform/data/params.h"

namespace qel::test {
namespace {

using Log = std::vector<std::string>;

// A link that writes down every callback it receives.
class TRecordingLink : public TDataLink {
public:
    Log Events;

protected:
    void ActiveChanged() override { Events.push_back(Active() ? "ActiveChanged(on)" : "ActiveChanged(off)"); }
    void CheckBrowseMode() override { Events.push_back("CheckBrowseMode"); }
    void DataSetChanged() override { Events.push_back("DataSetChanged"); }
    void DataSetScrolled(int d) override { Events.push_back("DataSetScrolled(" + std::to_string(d) + ")"); }
    void EditingChanged() override {
        Events.push_back(Editing() ? "EditingChanged(on)" : "EditingChanged(off)");
    }
    void LayoutChanged() override { Events.push_back("LayoutChanged"); }
    void RecordChanged(TField* f) override {
        Events.push_back("RecordChanged(" + (f ? f->GetFieldName() : "nil") + ")");
    }
    void UpdateData() override { Events.push_back("UpdateData"); }
    void FocusControl(TField** f) override { Events.push_back("FocusControl(" + (*f)->GetFieldName() + ")"); }
};

class DataSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        Ds.FieldDefs()->Add("Id", ftInteger, 0, true);
        Ds.FieldDefs()->Add("Name", ftString, 10);
        Ds.FieldDefs()->Add("Price", ftFloat);
        const char* names[] = {"one", "two", "three", "four", "five", "six"};
        for (int i = 0; i < 6; ++i) Ds.AddRow({i + 1, names[i], (i + 1) * 1.5});
        Src.SetDataSet(&Ds);
        Link.SetDataSource(&Src);
    }
    std::vector<int> Ids() {
        std::vector<int> out;
        Ds.First();
        while (!Ds.Eof()) {
            out.push_back(static_cast<int>(Ds.FieldByName("Id")->AsInteger()));
            Ds.Next();
        }
        return out;
    }
    TMemDataSet Ds;
    TDataSource Src{nullptr};
    TRecordingLink Link;
};

TEST_F(DataSetTest, StatesKeepThePlatformOrder) {
    EXPECT_EQ(static_cast<int>(dsInactive), 0);
    EXPECT_EQ(static_cast<int>(dsSetKey), 4);
    EXPECT_EQ(static_cast<int>(dsCalcFields), 5);
    EXPECT_EQ(static_cast<int>(dsOpening), 12);
    EXPECT_EQ(static_cast<int>(ftDateTime), 11);
    EXPECT_EQ(static_cast<int>(ftAutoInc), 14);
    EXPECT_EQ(static_cast<int>(ftGraphic), 17);
    EXPECT_EQ(static_cast<int>(ftFMTBcd), 37);
    EXPECT_EQ(EnumInfo<TDataSetState>().NameOf(4), "dsSetKey");
}

TEST_F(DataSetTest, LinkEventsFollowEachOperation) {
    struct Step {
        const char* Name;
        std::function<void()> Op;
        Log Expected;
    };
    std::vector<Step> steps = {
        {"Open", [&] { Ds.Open(); }, {"ActiveChanged(on)"}},
        {"Next", [&] { Ds.Next(); }, {"CheckBrowseMode", "DataSetScrolled(1)"}},
        {"MoveBy", [&] { Ds.MoveBy(2); }, {"CheckBrowseMode", "DataSetScrolled(2)"}},
        {"Prior", [&] { Ds.Prior(); }, {"CheckBrowseMode", "DataSetScrolled(-1)"}},
        {"First", [&] { Ds.First(); }, {"CheckBrowseMode", "DataSetChanged"}},
        {"Edit", [&] { Ds.Edit(); }, {"CheckBrowseMode", "EditingChanged(on)", "RecordChanged(nil)"}},
        {"Assign", [&] { Ds.FieldByName("Name")->SetAsString("uno"); }, {"RecordChanged(Name)"}},
        {"Post",
         [&] { Ds.Post(); },
         {"UpdateData", "CheckBrowseMode", "EditingChanged(off)", "DataSetChanged"}},
        {"Insert", [&] { Ds.Insert(); }, {"CheckBrowseMode", "EditingChanged(on)", "DataSetChanged"}},
        {"Cancel", [&] { Ds.Cancel(); }, {"CheckBrowseMode", "EditingChanged(off)", "DataSetChanged"}},
        {"Delete", [&] { Ds.Delete(); }, {"CheckBrowseMode", "DataSetChanged"}},
        {"Refresh", [&] { Ds.Refresh(); }, {"CheckBrowseMode", "DataSetChanged"}},
        {"Focus", [&] { Ds.FieldByName("Price")->FocusControl(); }, {"FocusControl(Price)"}},
        {"Layout", [&] { Ds.FieldByName("Price")->SetDisplayWidth(12); }, {"LayoutChanged"}},
        {"Disable", [&] { Src.SetEnabled(false); }, {"ActiveChanged(off)"}},
        {"Enable", [&] { Src.SetEnabled(true); }, {"ActiveChanged(on)"}},
        {"Close", [&] { Ds.Close(); }, {"ActiveChanged(off)"}},
    };
    for (auto& s : steps) {
        Link.Events.clear();
        s.Op();
        EXPECT_EQ(Link.Events, s.Expected) << s.Name;
    }
}

TEST_F(DataSetTest, SwitchingDataSourceOrDataSetGivesInactiveThenActive) {
    TMemDataSet other;
    other.FieldDefs()->Add("Id", ftInteger);
    other.AddRow({7});
    Ds.Open();
    other.Open();
    TDataSource src2(nullptr);
    src2.SetDataSet(&other);
    Link.Events.clear();
    Link.SetDataSource(&src2);
    EXPECT_EQ(Link.Events, (Log{"ActiveChanged(off)", "ActiveChanged(on)"}));
    EXPECT_EQ(Link.DataSet(), &other);
    Link.Events.clear();
    src2.SetDataSet(&Ds);
    EXPECT_EQ(Link.Events, (Log{"ActiveChanged(off)", "ActiveChanged(on)"}));
    EXPECT_EQ(Link.DataSet(), &Ds);
}

TEST_F(DataSetTest, DisableControlsNestsAndToleratesExtraEnables) {
    Ds.Open();
    Link.Events.clear();
    Ds.DisableControls();
    Ds.DisableControls();
    Ds.Next();
    Ds.Edit();
    Ds.Cancel();
    EXPECT_TRUE(Ds.ControlsDisabled());
    Ds.EnableControls();
    EXPECT_TRUE(Link.Events.empty());
    Ds.EnableControls();
    EXPECT_FALSE(Ds.ControlsDisabled());
    EXPECT_EQ(Link.Events, (Log{"DataSetChanged"}));
    Ds.EnableControls(); // one too many: harmless
    Ds.EnableControls();
    Ds.Next();
    EXPECT_EQ(Link.Events.back(), "DataSetScrolled(1)");
    Ds.DisableControls();
    Ds.Close();
    Ds.EnableControls();
    EXPECT_EQ(Link.Events.back(), "ActiveChanged(off)");
}

TEST_F(DataSetTest, NavigationSetsBofAndEof) {
    Ds.Open();
    EXPECT_TRUE(Ds.Bof());
    EXPECT_EQ(Ds.RecordCount(), 6);
    EXPECT_EQ(Ds.MoveBy(10), 5);
    EXPECT_TRUE(Ds.Eof());
    EXPECT_EQ(Ds.FieldByName("Id")->AsInteger(), 6);
    EXPECT_EQ(Ds.GetRecNo(), 6);
    Ds.Prior();
    EXPECT_FALSE(Ds.Eof());
    Ds.First();
    Ds.Prior();
    EXPECT_TRUE(Ds.Bof());
    EXPECT_EQ(Ds.FieldByName("Id")->AsInteger(), 1);
}

TEST_F(DataSetTest, LinksWithSeveralBuffersSeeAWindowOfRecords) {
    Link.SetBufferCount(3);
    Ds.Open();
    EXPECT_EQ(Ds.BufferCount(), 3);
    EXPECT_EQ(Link.RecordCount(), 3);
    EXPECT_EQ(Link.GetActiveRecord(), 0);
    Ds.Next();
    Ds.Next();
    EXPECT_EQ(Link.GetActiveRecord(), 2);
    Link.Events.clear();
    Ds.Next(); // the window scrolls
    EXPECT_EQ(Link.GetActiveRecord(), 2);
    EXPECT_EQ(Link.Events, (Log{"CheckBrowseMode", "DataSetScrolled(1)"}));
    // Reading the other buffered records through ActiveRecord.
    std::vector<int64_t> shown;
    int save = Link.GetActiveRecord();
    for (int i = 0; i < Link.RecordCount(); ++i) {
        Link.SetActiveRecord(i);
        shown.push_back(Ds.FieldByName("Id")->AsInteger());
    }
    Link.SetActiveRecord(save);
    EXPECT_EQ(shown, (std::vector<int64_t>{2, 3, 4}));
    Ds.Last();
    EXPECT_EQ(Link.RecordCount(), 3);
    EXPECT_EQ(Link.GetActiveRecord(), 2);
    EXPECT_EQ(Ds.FieldByName("Id")->AsInteger(), 6);
    Ds.First();
    Ds.Prior();
    EXPECT_TRUE(Link.Bof());
    Link.SetBufferCount(1);
    EXPECT_EQ(Ds.BufferCount(), 1);
    EXPECT_EQ(Link.RecordCount(), 1);
    EXPECT_EQ(Ds.FieldByName("Id")->AsInteger(), 1);
}

TEST_F(DataSetTest, EditingAndEventsOfPostInsertAndAppend) {
    Log events;
    auto log = [&](const char* n) {
        return TDataSetNotifyEvent([&events, n](TDataSet*) { events.push_back(n); });
    };
    Ds.SetBeforeInsert(log("BeforeInsert"));
    Ds.SetOnNewRecord(TDataSetNotifyEvent([&events](TDataSet* d) {
        events.push_back("OnNewRecord");
        d->FieldByName("Price")->SetAsFloat(9.5);
    }));
    Ds.SetAfterInsert(log("AfterInsert"));
    Ds.SetBeforePost(log("BeforePost"));
    Ds.SetAfterPost(log("AfterPost"));
    Ds.SetBeforeScroll(log("BeforeScroll"));
    Ds.SetAfterScroll(log("AfterScroll"));
    Ds.Open();
    events.clear();
    Ds.Append();
    EXPECT_FALSE(Ds.Modified()); // OnNewRecord values do not count
    EXPECT_TRUE(Ds.Eof());
    Ds.FieldByName("Id")->SetAsInteger(7);
    EXPECT_TRUE(Ds.Modified());
    Ds.Post();
    EXPECT_EQ(events, (Log{"BeforeInsert", "OnNewRecord", "AfterInsert", "BeforePost", "AfterPost"}));
    EXPECT_EQ(Ds.FieldByName("Price")->AsFloat(), 9.5);
    EXPECT_EQ(Ids(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
    Ds.First();
    Ds.Next();
    Ds.Insert(); // before record 2
    Ds.FieldByName("Id")->SetAsInteger(8);
    Ds.Post();
    EXPECT_EQ(Ids(), (std::vector<int>{1, 8, 2, 3, 4, 5, 6, 7}));
    Ds.First();
    Ds.Edit();
    Ds.FieldByName("Name")->SetAsString("changed");
    EXPECT_EQ(Ds.FieldByName("Name")->OldValue().AsString(), "one");
    Ds.Next(); // leaving the record posts it
    EXPECT_EQ(Ds.State(), dsBrowse);
    Ds.First();
    EXPECT_EQ(Ds.FieldByName("Name")->AsString(), "changed");
    Ds.Append();
    EXPECT_THROW(Ds.Post(), EDatabaseError); // Id is required
    Ds.Cancel();
    EXPECT_EQ(Ds.RecordCount(), 8);
}

TEST_F(DataSetTest, PostErrorsGoThroughTheErrorEvent) {
    Ds.Open();
    int calls = 0;
    Ds.SetOnPostError([&](TDataSet*, EDatabaseError&, TDataAction& action) {
        ++calls;
        action = daRetry;
    });
    Ds.Edit();
    Ds.FieldByName("Name")->SetAsString("x");
    Ds.FailNextPost = true;
    Ds.Post(); // retried once, then it works
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(Ds.State(), dsBrowse);
    Ds.SetOnPostError([&](TDataSet*, EDatabaseError&, TDataAction& action) { action = daAbort; });
    Ds.Edit();
    Ds.FieldByName("Name")->SetAsString("y");
    Ds.FailNextPost = true;
    EXPECT_THROW(Ds.Post(), EAbort);
    EXPECT_EQ(Ds.State(), dsEdit);
    Ds.Cancel();
    Ds.ReadOnlyData = true;
    EXPECT_THROW(Ds.Edit(), EDatabaseError);
}

TEST_F(DataSetTest, BookmarksAfterDeletes) {
    Ds.Open();
    Ds.MoveBy(3);
    TBookmark four = Ds.GetBookmark();
    Ds.First();
    TBookmark one = Ds.GetBookmark();
    Ds.Delete();
    EXPECT_EQ(Ds.FieldByName("Id")->AsInteger(), 2);
    EXPECT_FALSE(Ds.BookmarkValid(one));
    EXPECT_TRUE(Ds.BookmarkValid(four));
    Ds.GotoBookmark(four);
    EXPECT_EQ(Ds.FieldByName("Id")->AsInteger(), 4);
    EXPECT_THROW(Ds.GotoBookmark(one), EDatabaseError);
    EXPECT_EQ(Ds.CompareBookmarks(four, Ds.GetBookmark()), 0);
    Ds.Last();
    Ds.Delete();
    EXPECT_EQ(Ds.FieldByName("Id")->AsInteger(), 5);
}

TEST_F(DataSetTest, FilterTextAndOnFilterRecordCombine) {
    Ds.Open();
    Ds.SetFilter("Price > 3");
    Ds.SetFiltered(true);
    EXPECT_EQ(Ids(), (std::vector<int>{3, 4, 5, 6}));
    Ds.SetOnFilterRecord([](TDataSet* d, bool& accept) {
        EXPECT_EQ(d->State(), dsFilter);
        accept = d->FieldByName("Id")->AsInteger() % 2 == 0;
    });
    EXPECT_EQ(Ids(), (std::vector<int>{4, 6}));
    EXPECT_EQ(Ds.RecordCount(), 2);
    try {
        Ds.SetFilter("Price > > 3");
        FAIL() << "a malformed filter must raise";
    } catch (const EFilterError& e) {
        EXPECT_GT(e.Position(), 0);
    }
    EXPECT_EQ(Ds.GetFilter(), "Price > 3");
    Ds.SetFiltered(false);
    EXPECT_EQ(Ds.RecordCount(), 6);
    EXPECT_TRUE(Ds.Locate("Name", "FOUR", {loCaseInsensitive}));
    EXPECT_EQ(Ds.FieldByName("Id")->AsInteger(), 4);
    EXPECT_TRUE(Ds.Locate("Name", "th", {loPartialKey}));
    EXPECT_EQ(Ds.FieldByName("Id")->AsInteger(), 3);
    EXPECT_FALSE(Ds.Locate("Name", "seven", {}));
    EXPECT_EQ(Ds.FieldByName("Id")->AsInteger(), 3);
    EXPECT_EQ(Ds.Lookup("Id", 5, "Name").AsString(), "five");
}

TEST_F(DataSetTest, CalculatedAndLookupFields) {
    TMemDataSet codes;
    codes.FieldDefs()->Add("Code", ftInteger);
    codes.FieldDefs()->Add("Label", ftString, 20);
    codes.AddRow({2, "two"});
    codes.AddRow({1, "one"});
    codes.Open();
    Ds.CreateDefaultFields();
    auto* twice = new TFloatField(&Ds);
    twice->SetFieldName("Twice");
    twice->SetFieldKind(fkCalculated);
    twice->SetDataSet(&Ds);
    auto* parity = new TIntegerField(&Ds);
    parity->SetFieldName("Parity");
    parity->SetFieldKind(fkCalculated);
    parity->SetDataSet(&Ds);
    auto* label = new TStringField(&Ds);
    label->SetFieldName("ParityLabel");
    label->SetFieldKind(fkLookup);
    label->SetLookupDataSet(&codes);
    label->SetKeyFields("Id"); // lookups are resolved before OnCalcFields: keyed by data fields
    label->SetLookupKeyFields("Code");
    label->SetLookupResultField("Label");
    label->SetDataSet(&Ds);
    Ds.SetOnCalcFields([](TDataSet* d) {
        EXPECT_EQ(d->State(), dsCalcFields);
        d->FieldByName("Twice")->SetAsFloat(d->FieldByName("Price")->AsFloat() * 2);
        d->FieldByName("Parity")->SetAsInteger(2 - d->FieldByName("Id")->AsInteger() % 2);
    });
    Ds.Open();
    EXPECT_EQ(Ds.FieldByName("Twice")->AsFloat(), 3.0);
    EXPECT_EQ(Ds.FieldByName("Parity")->AsInteger(), 1);
    EXPECT_EQ(Ds.FieldByName("ParityLabel")->AsString(), "one");
    Ds.Next();
    EXPECT_EQ(Ds.FieldByName("ParityLabel")->AsString(), "two");
    Ds.Next();
    EXPECT_TRUE(Ds.FieldByName("ParityLabel")->IsNull());
    Ds.Prior();
    Ds.Edit();
    Ds.FieldByName("Price")->SetAsFloat(10);
    EXPECT_EQ(Ds.FieldByName("Twice")->AsFloat(), 20.0); // recalculated on change
    EXPECT_THROW(Ds.FieldByName("Twice")->SetAsFloat(1), EDatabaseError);
    Ds.Cancel();
    Ds.SetFilter("Twice > 8");
    Ds.SetFiltered(true);
    EXPECT_EQ(Ids(), (std::vector<int>{3, 4, 5, 6}));
    Ds.Close();
}

TEST_F(DataSetTest, FieldValuesAndGetFieldNames) {
    Ds.Open();
    Variant v = Ds.GetFieldValues("Id;Name");
    ASSERT_TRUE(v.IsArray());
    EXPECT_EQ(v[0].AsInteger(), 1);
    EXPECT_EQ(v[1].AsString(), "one");
    Ds.Edit();
    Ds.SetFieldValues("Name;Price", VarArrayOf({"uno", 2.25}));
    Ds.Post();
    EXPECT_EQ(Ds.FieldByName("Price")->AsString(), "2.25");
    TStringList names;
    Ds.GetFieldNames(&names);
    EXPECT_EQ(names.GetCommaText(), "Id,Name,Price");
    EXPECT_THROW(Ds.FieldByName("Missing"), EDatabaseError);
    EXPECT_EQ(Ds.FindField("missing"), nullptr);
    EXPECT_EQ(Ds.FieldByName("name")->GetIndex(), 1);
    Ds.Edit();
    Ds.ClearFields();
    EXPECT_TRUE(Ds.FieldByName("Name")->IsNull());
    Ds.Cancel();
    EXPECT_EQ(Ds.FieldByName("Name")->AsString(), "uno");
}

TEST_F(DataSetTest, DataSourceEventsAndAutoEdit) {
    int stateChanges = 0, dataChanges = 0;
    Src.SetOnStateChange([&](TObject*) { ++stateChanges; });
    Src.SetOnDataChange([&](TObject*, TField*) { ++dataChanges; });
    Ds.Open();
    EXPECT_EQ(Src.State(), dsBrowse);
    EXPECT_EQ(stateChanges, 1);
    EXPECT_GE(dataChanges, 1);
    EXPECT_TRUE(Link.Edit()); // AutoEdit puts the dataset in edit state
    EXPECT_EQ(Ds.State(), dsEdit);
    Ds.Cancel();
    Src.SetAutoEdit(false);
    EXPECT_FALSE(Link.Edit());
    EXPECT_EQ(stateChanges, 3);
}

} // namespace
} // namespace qel::test
