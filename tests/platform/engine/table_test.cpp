#include <gtest/gtest.h>

#include "engine_fixture.h"

namespace qel::test {
namespace {

using Names = std::vector<std::string>;

TEST_F(EngineTest, OpensAndWalksInPrimaryOrderWithBofAndEof) {
    auto t = MakeTable("PEOPLE.DB"); // names match case-insensitively, the extension is ignored
    t->Open();
    EXPECT_TRUE(t->Bof());
    EXPECT_FALSE(t->Eof());
    EXPECT_EQ(t->FieldByName("Id")->AsInteger(), 1);
    EXPECT_EQ(t->RecordCount(), 10);
    EXPECT_EQ(t->GetRecNo(), 1);
    t->Next();
    EXPECT_FALSE(t->Bof());
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "Bob");
    EXPECT_EQ(t->GetRecNo(), 2);
    t->Last();
    EXPECT_TRUE(t->Eof());
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "Zoe");
    EXPECT_EQ(t->GetRecNo(), 10);
    t->Next();
    EXPECT_TRUE(t->Eof());
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "Zoe");
    EXPECT_EQ(t->MoveBy(-3), -3);
    EXPECT_EQ(t->FieldByName("Id")->AsInteger(), 7);
    EXPECT_EQ(t->MoveBy(-100), -6);
    EXPECT_TRUE(t->Bof());
    EXPECT_EQ(t->FieldByName("Id")->AsInteger(), 1);
    t->SetRecNo(5);
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "dave");
}

TEST_F(EngineTest, EmptyTableHasBothBofAndEof) {
    Db->Execute("CREATE TABLE empty (A INTEGER)");
    auto t = MakeTable("empty");
    t->Open();
    EXPECT_TRUE(t->Bof());
    EXPECT_TRUE(t->Eof());
    EXPECT_TRUE(t->IsEmpty());
    EXPECT_EQ(t->RecordCount(), 0);
    t->Next();
    t->Prior();
    EXPECT_TRUE(t->IsEmpty());
}

TEST_F(EngineTest, FieldTypesFollowDeclaredColumnTypes) {
    auto t = MakeTable();
    t->Open();
    struct Row {
        const char* Name;
        TFieldType Type;
        const char* Class;
    } rows[] = {{"Id", ftInteger, "TIntegerField"},
                {"Name", ftString, "TStringField"},
                {"Born", ftDate, "TDateField"},
                {"Score", ftFloat, "TFloatField"},
                {"Notes", ftMemo, "TMemoField"}};
    for (auto& r : rows) {
        TField* f = t->FieldByName(r.Name);
        EXPECT_EQ(f->DataType(), r.Type) << r.Name;
        EXPECT_EQ(f->ClassName(), r.Class) << r.Name;
    }
    EXPECT_EQ(t->FieldByName("Name")->GetSize(), 30);
    EXPECT_TRUE(t->FieldByName("Id")->GetRequired());
    EXPECT_EQ(t->FieldByName("Born")->AsString(), "1990-01-02");
}

TEST_F(EngineTest, CaseInsensitiveIndexOrdersNamesAsADictionary) {
    auto t = MakeTable();
    t->SetIndexName("ByName");
    t->Open();
    EXPECT_EQ(Column(*t, "Name"),
              (Names{"alice", "Anna", "Bob", "carol", "Charlie", "cindy", "Dan", "dave", "Eve", "Zoe"}));
    t->SetIndexName("byname"); // same index, other spelling
    t->SetIndexFieldNames("Age");
    EXPECT_EQ(Column(*t, "Age").front(), "19");
    EXPECT_EQ(t->IndexFieldCount(), 1);
    EXPECT_EQ(t->IndexFields(0)->GetFieldName(), "Age");
    EXPECT_THROW(t->SetIndexName("NoSuchIndex"), EDatabaseError);
    EXPECT_EQ(t->GetIndexFieldNames(), "Age"); // unchanged after the failure
}

TEST_F(EngineTest, RangeAToCShowsEveryNameStartingWithAToC) {
    auto t = MakeTable();
    t->SetIndexName("ByName");
    t->Open();
    t->SetRangeStart();
    t->FieldByName("Name")->SetAsString("a");
    t->SetRangeEnd();
    t->FieldByName("Name")->SetAsString(std::string("c") + "\xC3\xBF"); // "c" followed by U+00FF
    t->ApplyRange();
    EXPECT_EQ(Column(*t, "Name"), (Names{"alice", "Anna", "Bob", "carol", "Charlie", "cindy"}));
    EXPECT_EQ(t->RecordCount(), 6);
    t->CancelRange();
    EXPECT_EQ(t->RecordCount(), 10);
}

TEST_F(EngineTest, RangesOnNumbersAreInclusiveAndBoundsCanBeOpenOrExclusive) {
    auto t = MakeTable();
    t->SetIndexFieldNames("Age");
    t->Open();
    struct Case {
        Variant Lo, Hi;
        bool LoExclusive, HiExclusive;
        int Count;
    } cases[] = {{25, 35, false, false, 5},
                 {25, 35, true, false, 4},
                 {25, 35, true, true, 3},
                 {Variant::Null(), 22, false, false, 2},
                 {40, Variant::Null(), false, false, 3}};
    for (auto& c : cases) {
        t->SetRangeStart();
        t->FieldByName("Age")->SetAsVariant(c.Lo);
        t->SetKeyExclusive(c.LoExclusive);
        t->SetRangeEnd();
        t->FieldByName("Age")->SetAsVariant(c.Hi);
        t->SetKeyExclusive(c.HiExclusive);
        t->ApplyRange();
        EXPECT_EQ(t->RecordCount(), c.Count) << c.Lo.AsString() << ".." << c.Hi.AsString();
        EXPECT_EQ(static_cast<int>(Column(*t, "Age").size()), c.Count);
    }
}

TEST_F(EngineTest, KeySearchOnCompositeIndexUsesTheAssignedPrefix) {
    auto t = MakeTable();
    t->SetIndexName("ByCityAge");
    t->Open();
    EXPECT_EQ(t->IndexFieldCount(), 2);
    EXPECT_TRUE(t->FindKey(VarArrayOf({"Paris", 28})));
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "Eve");
    EXPECT_TRUE(t->FindKey("Rome")); // a single value goes to the first key field
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "Dan");
    EXPECT_FALSE(t->FindKey(VarArrayOf({"Paris", 29})));
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "Dan"); // a failed search does not move
    t->FindNearest(VarArrayOf({"Paris", 29}));
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "Zoe");
    t->FindNearest("Zurich");
    EXPECT_TRUE(t->Eof());

    t->SetKey();
    EXPECT_EQ(t->State(), dsSetKey);
    t->FieldByName("City")->SetAsString("London");
    EXPECT_THROW(t->FieldByName("Name")->SetAsString("x"), EDatabaseError); // not a key field
    t->SetKeyExclusive(true);
    t->GotoNearest();
    EXPECT_EQ(t->State(), dsBrowse);
    EXPECT_EQ(t->FieldByName("City")->AsString(), "Paris"); // strictly after every London row

    // "1-100" on a composite index: a range on the first field only.
    t->SetRange(VarArrayOf({"London"}), VarArrayOf({"Paris"}));
    EXPECT_EQ(t->RecordCount(), 6);
}

TEST_F(EngineTest, CancelInSetKeyRestoresTheKeyBuffer) {
    auto t = MakeTable();
    t->SetIndexName("ByName");
    t->Open();
    t->SetKey();
    t->FieldByName("Name")->SetAsString("dave");
    t->Post();
    t->EditKey();
    t->FieldByName("Name")->SetAsString("zzz");
    t->Cancel();
    EXPECT_TRUE(t->GotoKey());
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "dave");
}

TEST_F(EngineTest, InsertEditCancelAndDeleteKeepTheCursorInOrder) {
    auto t = MakeTable();
    t->SetIndexName("ByName");
    t->Open();
    t->Append();
    EXPECT_EQ(t->State(), dsInsert);
    EXPECT_TRUE(t->Eof());
    t->FieldByName("Id")->SetAsInteger(11);
    t->FieldByName("Name")->SetAsString("Boris");
    t->FieldByName("Age")->SetAsString("33");
    t->Post();
    EXPECT_EQ(t->State(), dsBrowse);
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "Boris");
    EXPECT_EQ(t->GetRecNo(), 4); // alice, Anna, Bob, Boris
    t->Edit();
    t->FieldByName("Name")->SetAsString("Aaron");
    t->Post();
    EXPECT_EQ(t->GetRecNo(), 1);
    t->Edit();
    t->FieldByName("Name")->SetAsString("Zed");
    t->Cancel();
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "Aaron");
    t->Delete(); // the next record becomes current
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "alice");
    t->Last();
    t->Delete(); // deleting the last record moves to the prior one
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "Eve");
    EXPECT_EQ(t->RecordCount(), 9);
    t->Insert();
    t->Cancel();
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "Eve");
}

TEST_F(EngineTest, PostChecksRequiredAndReadOnlyFields) {
    auto t = MakeTable();
    t->Open();
    t->Append();
    t->FieldByName("Name")->SetAsString("NoId");
    EXPECT_THROW(t->Post(), EDatabaseError); // Id is NOT NULL
    EXPECT_EQ(t->State(), dsInsert);
    t->Cancel();
    t->FieldByName("City")->SetReadOnly(true);
    t->Edit();
    EXPECT_THROW(t->FieldByName("City")->SetAsString("Oslo"), EDatabaseError);
    t->Cancel();
    EXPECT_THROW(t->FieldByName("City")->SetAsString("Oslo"), EDatabaseError); // not editing
}

TEST_F(EngineTest, BookmarksSurviveOtherDeletesAndFailCleanlyWhenTheirRecordIsGone) {
    auto t = MakeTable();
    t->SetIndexName("ByName");
    t->Open();
    ASSERT_TRUE(t->Locate("Name", "dave", {}));
    TBookmark dave = t->GetBookmark();
    ASSERT_TRUE(t->Locate("Name", "Charlie", {}));
    TBookmark charlie = t->GetBookmark();
    EXPECT_NE(t->CompareBookmarks(dave, charlie), 0);
    EXPECT_EQ(t->CompareBookmarks(charlie, t->GetBookmark()), 0);
    t->Delete();
    EXPECT_FALSE(t->BookmarkValid(charlie));
    EXPECT_TRUE(t->BookmarkValid(dave));
    t->First();
    t->GotoBookmark(dave);
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "dave");
    EXPECT_EQ(t->GetRecNo(), 7);
    EXPECT_THROW(t->GotoBookmark(charlie), EDatabaseError);
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "dave");
    t->SetBookmarkStr(dave);
    EXPECT_EQ(t->GetBookmarkStr(), dave);
    t->FreeBookmark(dave);
    EXPECT_TRUE(dave.empty());
}

TEST_F(EngineTest, DatasetFilterAndPrivateFiltersApplyTogether) {
    auto t = MakeTable();
    t->SetIndexName("ByName");
    t->Open();
    t->SetFilter("Age > 24");
    t->SetFiltered(true);
    EXPECT_EQ(t->RecordCount(), 8);
    auto expr = t->CompileCursorFilter("City = 'Paris'", {});
    hDBIFilter h1 = t->AddFilter(nullptr, 1, false, std::move(expr), nullptr);
    int calls = 0;
    hDBIFilter h2 =
        t->AddFilter(&calls, 2, false, nullptr, [t = t.get()](void* data, const TRecordBuffer& rec) {
            ++*static_cast<int*>(data);
            Variant score;
            if (!t->ReadRecordField(rec, "Score", score)) return false;
            return score.AsFloat() >= 2.0;
        });
    t->ActivateFilter(h1);
    t->Refresh();
    EXPECT_EQ(Column(*t, "Name"), (Names{"alice", "Eve", "Zoe"}));
    t->ActivateFilter(h2);
    t->Refresh();
    EXPECT_EQ(Column(*t, "Name"), (Names{"alice", "Eve", "Zoe"}));
    EXPECT_GT(calls, 0);
    t->SetFilter("Age > 29");
    EXPECT_EQ(Column(*t, "Name"), (Names{"alice", "Zoe"}));
    t->SetOnFilterRecord(
        [](TDataSet* ds, bool& accept) { accept = ds->FieldByName("Name")->AsString() != "Zoe"; });
    EXPECT_EQ(Column(*t, "Name"), (Names{"alice"}));
    t->DeactivateFilter(h1);
    t->DropFilter(h2);
    t->Refresh();
    EXPECT_EQ(Column(*t, "Name"), (Names{"alice", "Charlie", "cindy", "Dan", "dave"}));
    EXPECT_THROW(t->DropFilter(h2), EDBEngineError);
    // Filters live on the dataset: they survive closing and reopening.
    t->ActivateFilter(h1);
    t->Close();
    t->Open();
    EXPECT_EQ(Column(*t, "Name"), (Names{"alice"}));
}

TEST_F(EngineTest, BadFilterTextRaisesAndKeepsThePreviousFilter) {
    auto t = MakeTable();
    t->Open();
    t->SetFilter("City = 'Rome'");
    t->SetFiltered(true);
    EXPECT_THROW(t->SetFilter("City = = 'x'"), EDatabaseError);
    EXPECT_THROW(t->SetFilter("NoSuchField = 1"), EDatabaseError);
    EXPECT_EQ(t->GetFilter(), "City = 'Rome'");
    EXPECT_EQ(t->RecordCount(), 2);
    t->SetFilterOptions({foCaseInsensitive});
    t->SetFilter("Name = 'B*'");
    EXPECT_EQ(Column(*t, "Name"), (Names{"Bob"}));
    t->SetFilterOptions({foCaseInsensitive, foNoPartialCompare});
    EXPECT_EQ(t->RecordCount(), 0);
}

TEST_F(EngineTest, LocateAndLookupRespectOptionsFiltersAndOrder) {
    auto t = MakeTable();
    t->SetIndexName("ByName");
    t->Open();
    EXPECT_FALSE(t->Locate("Name", "CHARLIE", {}));
    EXPECT_TRUE(t->Locate("Name", "CHARLIE", {loCaseInsensitive}));
    EXPECT_EQ(t->FieldByName("Id")->AsInteger(), 4);
    EXPECT_TRUE(t->Locate("name", "c", {loCaseInsensitive, loPartialKey}));
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "carol"); // first in index order
    EXPECT_TRUE(t->Locate("City;Age", VarArrayOf({"Rome", 45}), {}));
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "Dan");
    EXPECT_EQ(t->Lookup("Name", "Eve", "City;Age")[0].AsString(), "Paris");
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "Dan"); // Lookup does not move
    t->SetFilter("City <> 'Rome'");
    t->SetFiltered(true);
    EXPECT_FALSE(t->Locate("Name", "Dan", {}));
    EXPECT_TRUE(t->Lookup("Name", "Dan", "City").IsNull());
}

TEST_F(EngineTest, IndexDefsListThePrimaryIndexFirstWithItsOptions) {
    auto t = MakeTable();
    t->IndexDefs()->Update(); // works on a closed table
    ASSERT_EQ(t->IndexDefs()->Count(), 3);
    EXPECT_EQ(t->IndexDefs()->Items(0)->GetName(), "");
    EXPECT_EQ(t->IndexDefs()->Items(0)->GetFields(), "Id");
    EXPECT_EQ(t->IndexDefs()->Items(0)->OptionsText(), "[ixPrimary, ixUnique]");
    EXPECT_EQ(t->IndexDefs()->Items(1)->GetName(), "ByName");
    EXPECT_TRUE(t->IndexDefs()->Items(1)->GetOptions().Contains(ixCaseInsensitive));
    EXPECT_EQ(t->IndexDefs()->Items(2)->GetFields(), "City;Age");
    TStringList names;
    t->GetIndexNames(&names);
    EXPECT_EQ(names.GetCommaText(), "ByName,ByCityAge");
}

TEST_F(EngineTest, TransactionsRollBackAndCommit) {
    auto t = MakeTable();
    t->Open();
    EXPECT_FALSE(Db->IsSQLBased());
    EXPECT_EQ(Db->GetTransIsolation(), tiReadCommitted);
    Db->StartTransaction();
    EXPECT_TRUE(Db->InTransaction());
    t->Append();
    t->FieldByName("Id")->SetAsInteger(100);
    t->FieldByName("Name")->SetAsString("Temp");
    t->Post();
    t->First();
    t->Delete();
    EXPECT_EQ(t->RecordCount(), 10);
    Db->Rollback();
    EXPECT_FALSE(Db->InTransaction());
    EXPECT_EQ(t->RecordCount(), 10);
    EXPECT_FALSE(t->Locate("Id", 100, {}));
    EXPECT_TRUE(t->Locate("Id", 1, {}));
    Db->StartTransaction();
    t->Edit();
    t->FieldByName("Name")->SetAsString("Alicia");
    t->Post();
    Db->Commit();
    t->Close();
    Db->Close();
    Db->Open();
    t->Open();
    EXPECT_EQ(t->FieldByName("Name")->AsString(), "Alicia");
    EXPECT_THROW(Db->Commit(), EDBEngineError);
}

TEST_F(EngineTest, HostileTextNeverReachesSqlAsText) {
    // Table names.
    auto bad = MakeTable("people; DROP TABLE people");
    EXPECT_THROW(bad->Open(), EDatabaseError);
    auto bad2 = MakeTable("people\" WHERE 1=1 --");
    EXPECT_THROW(bad2->Open(), EDatabaseError);
    auto t = MakeTable();
    t->SetIndexName("ByName");
    t->Open();
    EXPECT_EQ(t->RecordCount(), 10);
    // Filter literals are bound, quotes included.
    t->SetFilter("Name = 'x'' OR ''a''=''a'");
    t->SetFiltered(true);
    EXPECT_EQ(t->RecordCount(), 0);
    t->SetFiltered(false);
    // Key values and locate values.
    EXPECT_FALSE(t->FindKey("' OR 1=1 --"));
    EXPECT_FALSE(t->Locate("Name", "dave' OR '1'='1", {loCaseInsensitive, loPartialKey}));
    t->SetRange(VarArrayOf({"'"}), VarArrayOf({"' OR ''='"}));
    EXPECT_EQ(t->RecordCount(), 0);
    t->CancelRange();
    // Field names are checked against the schema.
    EXPECT_THROW(t->SetIndexFieldNames("Name; DROP TABLE people"), EDatabaseError);
    EXPECT_THROW(t->Locate("Name) OR (1=1", "x", {}), EDatabaseError);
    // A stored value with SQL in it is just text.
    t->Append();
    t->FieldByName("Id")->SetAsInteger(66);
    t->FieldByName("Name")->SetAsString("Bob'); DROP TABLE people;--");
    t->Post();
    EXPECT_TRUE(t->Locate("Name", "Bob'); DROP TABLE people;--", {}));
    // Query parameters.
    TQuery q(nullptr);
    q.SetDatabaseName(DbName);
    q.SQL()->SetText("SELECT Name FROM people WHERE Name = :n");
    q.ParamByName("n")->SetAsString("x' OR '1'='1");
    q.Open();
    EXPECT_TRUE(q.IsEmpty());
    q.Close();
    t->Close();
    t->Open();
    EXPECT_EQ(t->RecordCount(), 11);
}

TEST_F(EngineTest, MemoFieldsLoadOnDemandAndStreamInAndOut) {
    auto t = MakeTable();
    t->Open();
    auto* memo = dynamic_cast<TMemoField*>(t->FieldByName("Notes"));
    ASSERT_NE(memo, nullptr);
    EXPECT_TRUE(memo->IsNull());
    t->Edit();
    TStringStream in("line one\nline two");
    memo->LoadFromStream(in);
    t->Post();
    t->Close();
    t->Open();
    TStringStream out;
    memo = dynamic_cast<TMemoField*>(t->FieldByName("Notes"));
    memo->SaveToStream(out);
    EXPECT_EQ(out.DataString(), "line one\nline two");
    t->Edit();
    {
        TBlobStream bs(memo, bmWrite);
        bs.WriteString("replaced");
    }
    t->Post();
    EXPECT_EQ(memo->AsString(), "replaced");
}

TEST_F(EngineTest, ExclusiveUseConflictsWithOtherUsers) {
    auto a = MakeTable();
    auto b = MakeTable();
    a->SetExclusive(true);
    a->Open();
    EXPECT_THROW(b->Open(), EDBEngineError);
    a->Close();
    b->Open();
    a->SetExclusive(true);
    EXPECT_THROW(a->Open(), EDBEngineError);
}

TEST_F(EngineTest, TableServicesCreateEmptyAndDelete) {
    auto t = MakeTable("made.db");
    EXPECT_FALSE(t->Exists());
    t->FieldDefs()->Add("Code", ftInteger, 0, true);
    t->FieldDefs()->Add("Label", ftString, 12);
    t->FieldDefs()->Add("When", ftDateTime);
    t->IndexDefs()->Add("", "Code", {ixPrimary, ixUnique});
    t->IndexDefs()->Add("ByLabel", "Label", {ixCaseInsensitive, ixDescending});
    t->CreateTable();
    EXPECT_TRUE(t->Exists());
    EXPECT_THROW(t->CreateTable(), EDatabaseError);
    t->SetIndexName("ByLabel");
    t->Open();
    t->AppendRecord(
        {1, "b", Variant::FromDateTime(dbconv::EncodeDate(2024, 2, 29) + dbconv::EncodeTime(13, 5, 0, 250))});
    t->AppendRecord({2, "A", Variant()});
    t->AppendRecord({3, "c", Variant()});
    EXPECT_EQ(Column(*t, "Label"), (Names{"c", "b", "A"}));
    t->Locate("Code", 1, {});
    EXPECT_EQ(t->FieldByName("When")->AsString(), "2024-02-29 13:05:00.250");
    EXPECT_EQ(t->FieldByName("Label")->GetSize(), 12);
    t->EmptyTable();
    EXPECT_TRUE(t->IsEmpty());
    t->Close();
    t->DeleteTable();
    EXPECT_FALSE(t->Exists());
}

TEST_F(EngineTest, DetailTableFollowsItsMaster) {
    Db->Execute("CREATE TABLE visits (VisitNo INTEGER PRIMARY KEY, PersonId INTEGER, Place VARCHAR(20))");
    Db->Execute("CREATE INDEX ByPerson ON visits (PersonId)");
    Db->Execute(
        "INSERT INTO visits VALUES (1, 1, 'Louvre'), (2, 1, 'Orsay'), (3, 2, 'Tate'), (4, 3, 'Opera')");
    auto master = MakeTable();
    master->Open();
    TDataSource src(nullptr);
    src.SetDataSet(master.get());
    auto detail = MakeTable("visits");
    detail->SetIndexName("ByPerson");
    detail->SetMasterSource(&src);
    detail->SetMasterFields("Id");
    detail->Open();
    EXPECT_EQ(Column(*detail, "Place"), (Names{"Louvre", "Orsay"}));
    master->Next();
    EXPECT_EQ(Column(*detail, "Place"), (Names{"Tate"}));
    master->Last();
    EXPECT_TRUE(detail->IsEmpty());
    detail->Close();
    master->Close();
}

TEST_F(EngineTest, QueriesBindParametersTranslateLocalWordsAndReportRowsAffected) {
    TQuery q(nullptr);
    q.SetDatabaseName(DbName);
    q.SQL()->SetText(
        "SELECT Name, Age FROM people\nWHERE City = :City AND Age >= :MinAge\nORDER BY Age DESCENDING");
    ASSERT_EQ(q.ParamCount(), 2);
    EXPECT_EQ(q.Params()->Items(0)->GetName(), "City");
    EXPECT_EQ(q.Text(), "SELECT Name, Age FROM people\nWHERE City = ? AND Age >= ?\nORDER BY Age DESC");
    q.ParamByName("City")->SetAsString("Paris");
    q.ParamByName("MinAge")->SetAsInteger(25);
    q.Open();
    EXPECT_EQ(Column(q, "Name"), (Names{"alice", "Zoe", "Eve"}));
    EXPECT_FALSE(q.CanModify());
    EXPECT_THROW(q.Edit(), EDatabaseError);
    q.Close();
    q.ParamByName("City")->SetAsString("Rome");
    q.Open();
    EXPECT_EQ(q.RecordCount(), 2);
    q.Close();

    TQuery upd(nullptr);
    upd.SetDatabaseName(DbName);
    upd.SQL()->SetText("UPDATE people SET Score = Score + 1 WHERE City = :c");
    upd.ParamByName("c")->SetAsString("Paris");
    upd.ExecSQL();
    EXPECT_EQ(upd.RowsAffected(), 4);

    TQuery missing(nullptr);
    missing.SetDatabaseName(DbName);
    missing.SQL()->SetText("SELECT * FROM people WHERE Id = :id");
    EXPECT_THROW(missing.Open(), EDatabaseError); // no value for :id
}

TEST_F(EngineTest, LiveQueryOverOneTableCanBeEdited) {
    TQuery q(nullptr);
    q.SetDatabaseName(DbName);
    q.SQL()->SetText("SELECT Id, Name FROM people WHERE City = 'Berlin' ORDER BY Name");
    q.SetRequestLive(true);
    q.Open();
    EXPECT_TRUE(q.CanModify());
    EXPECT_EQ(Column(q, "Name"), (Names{"Anna", "Charlie"}));
    q.First();
    q.Edit();
    q.FieldByName("Name")->SetAsString("Annika");
    q.Post();
    q.Append();
    q.FieldByName("Id")->SetAsInteger(50);
    q.FieldByName("Name")->SetAsString("Max");
    q.Post();
    EXPECT_EQ(Column(q, "Name"), (Names{"Annika", "Charlie", "Max"}));
    ASSERT_TRUE(q.Locate("Name", "Charlie", {}));
    q.Delete();
    EXPECT_EQ(q.FieldByName("Name")->AsString(), "Max");
    q.Close();
    auto t = MakeTable();
    t->Open();
    EXPECT_TRUE(t->Locate("Name", "Annika", {}));
    EXPECT_TRUE(t->Locate("Id", 50, {}));
    EXPECT_FALSE(t->Locate("Name", "Charlie", {}));

    TQuery join(nullptr);
    join.SetDatabaseName(DbName);
    join.SQL()->SetText("SELECT a.Name, count(*) AS N FROM people a GROUP BY a.City");
    join.SetRequestLive(true);
    join.Open();
    EXPECT_FALSE(join.CanModify());
}

TEST_F(EngineTest, UnidirectionalQueryOnlyMovesForward) {
    TQuery q(nullptr);
    q.SetDatabaseName(DbName);
    q.SQL()->SetText("SELECT Id FROM people ORDER BY Id");
    q.SetUniDirectional(true);
    q.Open();
    EXPECT_TRUE(q.IsUniDirectional());
    int n = 0;
    while (!q.Eof()) {
        ++n;
        q.Next();
    }
    EXPECT_EQ(n, 10);
    EXPECT_THROW(q.Prior(), EDatabaseError);
    EXPECT_THROW(q.Last(), EDatabaseError);
    EXPECT_FALSE(q.Locate("Id", 3, {}));
}

TEST_F(EngineTest, DetailQueryRereadsItsParametersOnEachMasterScroll) {
    Db->Execute("CREATE TABLE visits (VisitNo INTEGER PRIMARY KEY, PersonId INTEGER, Place VARCHAR(20))");
    Db->Execute("INSERT INTO visits VALUES (1, 1, 'Louvre'), (2, 1, 'Orsay'), (3, 2, 'Tate')");
    auto master = MakeTable();
    master->Open();
    TDataSource src(nullptr);
    src.SetDataSet(master.get());
    TQuery q(nullptr);
    q.SetDatabaseName(DbName);
    q.SQL()->SetText("SELECT Place FROM visits WHERE PersonId = :Id ORDER BY Place");
    q.SetDataSource(&src);
    q.Open();
    EXPECT_EQ(Column(q, "Place"), (Names{"Louvre", "Orsay"}));
    master->Next();
    EXPECT_EQ(Column(q, "Place"), (Names{"Tate"}));
    q.Close();
}

TEST_F(EngineTest, StoredProceduresAreReportedAsUnsupported) {
    TStoredProc sp(nullptr);
    sp.SetDatabaseName(DbName);
    sp.SetStoredProcName("DoIt");
    try {
        sp.Open();
        FAIL() << "opening a stored procedure must fail";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find("Stored procedures are not supported"), std::string::npos);
    }
    EXPECT_FALSE(sp.GetActive());
    EXPECT_THROW(sp.ExecProc(), EDatabaseError);
}

TEST_F(EngineTest, SessionsResolveAliasesAndListTables) {
    TSession* s = Session();
    s->AddStandardAlias("QELTESTALIAS", FileName);
    TStringList names;
    s->GetAliasNames(&names);
    EXPECT_GE(names.IndexOf("DBDEMOS"), 0);
    EXPECT_GE(names.IndexOf("QELTESTALIAS"), 0);
    TTable t(nullptr);
    t.SetDatabaseName("QELTESTALIAS");
    t.SetTableName("People");
    t.Open();
    EXPECT_EQ(t.RecordCount(), 10);
    EXPECT_EQ(t.Database()->FileName(), FileName);
    TStringList tables;
    s->GetTableNames("QELTESTALIAS", "", false, false, &tables);
    EXPECT_EQ(tables.GetCommaText(), "people");
    s->GetTableNames("QELTESTALIAS", "p*", true, false, &tables);
    EXPECT_EQ(tables.GetCommaText(), "people.db");
    t.Close();
    s->DeleteAlias("QELTESTALIAS");
    EXPECT_FALSE(s->IsAlias("QELTESTALIAS"));
    TTable unknown(nullptr);
    unknown.SetDatabaseName("");
    unknown.SetTableName("people");
    EXPECT_THROW(unknown.Open(), EDatabaseError);
}

TEST_F(EngineTest, EngineStatusAndVersionAreQueryableAndInjectable) {
    EXPECT_GT(EngineSystemVersion(), 3000000);
    SetEngineVersionHook([] { return 0; });
    EXPECT_EQ(EngineSystemVersion(), 0);
    TEngineVersion v;
    EXPECT_NE(EngineGetSysVersion(v), 0);
    SetEngineVersionHook(nullptr);
    EXPECT_EQ(EngineGetSysVersion(v), 0);
    EXPECT_GT(v.EngineVersion, 3000000);
    EXPECT_GT(v.Date, 40000); // after 2009
    auto t = MakeTable();
    t->Open();
    TEngineSysInfo sys;
    ASSERT_EQ(EngineGetSysInfo(sys), 0);
    EXPECT_GE(sys.Cursors, 1);
    std::string user;
    EXPECT_EQ(EngineGetUserName(user), 0);
    EXPECT_FALSE(user.empty());
    SetEngineStatusFailure(10001);
    TEngineClientInfo client;
    EXPECT_EQ(EngineGetClientInfo(client), 10001);
    EXPECT_EQ(EngineGetUserName(user), 10001);
    EXPECT_TRUE(user.empty());
    SetEngineStatusFailure(0);
    TEngineConfigInfo config;
    EXPECT_EQ(EngineGetConfigInfo(config), 0);
    EXPECT_FALSE(config.UserName.empty());
}

} // namespace
} // namespace qel::test
