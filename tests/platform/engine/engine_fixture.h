#pragma once
// A temporary database file with a small people table, for the engine tests.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/engine/database.h"
#include "platform/engine/query.h"
#include "platform/engine/table.h"

namespace qel::test {

inline std::string TempDir() {
    static std::string dir = [] {
        std::string t = (std::filesystem::temp_directory_path() / "qel_engine_XXXXXX").string();
        char* d = mkdtemp(t.data());
        return std::string(d ? d : "/tmp");
    }();
    return dir;
}

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        FileName = TempDir() + "/test" + std::to_string(++counter) + ".db";
        std::filesystem::remove(FileName);
        DbName = "TESTDB" + std::to_string(counter);
        Db = std::make_unique<TDatabase>(nullptr);
        Db->SetDatabaseName(DbName);
        Db->GetParams()->Add("PATH=" + FileName);
        Db->Open();
        Db->Execute(
            "CREATE TABLE people (Id INTEGER NOT NULL PRIMARY KEY, Name VARCHAR(30), City VARCHAR(20), "
            "Age INTEGER, Born DATE, Score FLOAT, Notes MEMO)");
        Db->Execute("CREATE INDEX ByName ON people (Name COLLATE NOCASE)");
        Db->Execute("CREATE INDEX ByCityAge ON people (City, Age)");
        const char* rows[][4] = {{"alice", "Paris", "31", "2"},   {"Bob", "London", "25", "3.5"},
                                 {"carol", "Paris", "22", "1"},   {"Charlie", "Berlin", "40", "4"},
                                 {"dave", "London", "35", "2.5"}, {"Eve", "Paris", "28", "5"},
                                 {"Anna", "Berlin", "19", "3"},   {"cindy", "Rome", "50", "4.5"},
                                 {"Dan", "Rome", "45", "1.5"},    {"Zoe", "Paris", "30", "2"}};
        int id = 1;
        for (auto& r : rows) {
            TParams p;
            p.CreateParam(ftInteger, "id", ptInput)->SetAsInteger(id);
            p.CreateParam(ftString, "n", ptInput)->SetAsString(r[0]);
            p.CreateParam(ftString, "c", ptInput)->SetAsString(r[1]);
            p.CreateParam(ftInteger, "a", ptInput)->SetAsInteger(std::atoi(r[2]));
            p.CreateParam(ftFloat, "s", ptInput)->SetAsFloat(std::atof(r[3]));
            Db->Execute(
                "INSERT INTO people (Id, Name, City, Age, Born, Score) VALUES (:id, :n, :c, :a, '1990-01-0" +
                    std::to_string(id % 9 + 1) + "', :s)",
                &p);
            ++id;
        }
    }
    void TearDown() override {
        Db.reset();
        std::filesystem::remove(FileName);
    }

    std::unique_ptr<TTable> MakeTable(const std::string& table = "people") {
        auto t = std::make_unique<TTable>(nullptr);
        t->SetDatabaseName(DbName);
        t->SetTableName(table);
        return t;
    }

    // The values of one field over the whole visible dataset, from First to Eof.
    static std::vector<std::string> Column(TDataSet& ds, const std::string& field) {
        std::vector<std::string> out;
        ds.First();
        while (!ds.Eof()) {
            out.push_back(ds.FieldByName(field)->AsString());
            ds.Next();
        }
        return out;
    }

    std::string FileName, DbName;
    std::unique_ptr<TDatabase> Db;
};

} // namespace qel::test
