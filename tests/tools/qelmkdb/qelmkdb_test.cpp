#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include <unistd.h>

#include "csv.h"
#include "dbgen.h"
#include "fish_painter.h"

namespace fs = std::filesystem;
using namespace qelmkdb;

namespace {

fs::path MakeTempDir(const std::string& tag) {
    const fs::path dir = fs::temp_directory_path() / ("qelmkdb_" + tag + "_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

class TDb {
public:
    explicit TDb(const fs::path& file) {
        if (sqlite3_open_v2(file.c_str(), &FDb, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
            throw std::runtime_error("cannot open " + file.string());
    }
    ~TDb() { sqlite3_close(FDb); }
    // Every row as text cells (NULL as "<null>", blobs as their size and a checksum).
    std::vector<std::vector<std::string>> Query(const std::string& sql) const {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(FDb, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            throw std::runtime_error(std::string(sqlite3_errmsg(FDb)) + " in " + sql);
        std::vector<std::vector<std::string>> rows;
        while (sqlite3_step(st) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                switch (sqlite3_column_type(st, i)) {
                case SQLITE_NULL: row.push_back("<null>"); break;
                case SQLITE_BLOB: {
                    const auto* p = static_cast<const unsigned char*>(sqlite3_column_blob(st, i));
                    const int n = sqlite3_column_bytes(st, i);
                    std::uint64_t h = 1469598103934665603ULL;
                    for (int k = 0; k < n; ++k) h = (h ^ p[k]) * 1099511628211ULL;
                    row.push_back("blob:" + std::to_string(n) + ":" + std::to_string(h));
                    break;
                }
                default: row.push_back(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
                }
            }
            rows.push_back(std::move(row));
        }
        sqlite3_finalize(st);
        return rows;
    }
    std::vector<std::uint8_t> Blob(const std::string& sql, int row) const {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(FDb, sql.c_str(), -1, &st, nullptr);
        std::vector<std::uint8_t> out;
        for (int r = 0; sqlite3_step(st) == SQLITE_ROW; ++r) {
            if (r != row) continue;
            const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(st, 0));
            out.assign(p, p + sqlite3_column_bytes(st, 0));
        }
        sqlite3_finalize(st);
        return out;
    }
    long long Scalar(const std::string& sql) const { return std::stoll(Query(sql).at(0).at(0)); }
    std::vector<std::string> Columns(const std::string& table) const {
        std::vector<std::string> out;
        for (const auto& r : Query("SELECT name FROM pragma_table_info('" + table + "') ORDER BY cid"))
            out.push_back(r[0]);
        return out;
    }

private:
    sqlite3* FDb = nullptr;
};

std::uint32_t U32(const std::vector<std::uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::uint16_t U16(const std::vector<std::uint8_t>& b, size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

// Checks a 24-bit BMP file of the given size; returns an empty string when it is well formed.
std::string CheckBmp(const std::vector<std::uint8_t>& b, int w, int h) {
    const size_t rowBytes = (static_cast<size_t>(w) * 3 + 3) / 4 * 4;
    if (b.size() < 54) return "too short";
    if (b[0] != 'B' || b[1] != 'M') return "no BM signature";
    if (U32(b, 2) != b.size()) return "file size field " + std::to_string(U32(b, 2));
    if (U32(b, 10) != 54) return "pixel offset";
    if (U32(b, 14) != 40) return "info header size";
    if (static_cast<int>(U32(b, 18)) != w || static_cast<int>(U32(b, 22)) != h) return "dimensions";
    if (U16(b, 26) != 1 || U16(b, 28) != 24) return "planes or depth";
    if (U32(b, 30) != 0) return "compression";
    if (U32(b, 34) != rowBytes * h) return "image size field";
    if (b.size() != 54 + rowBytes * h) return "pixel data size";
    return {};
}

// The generated database, built once for the whole suite.
class QelMkDb : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Dir = MakeTempDir("suite");
        File = Dir / "dbdemos.db";
        Summary = GenerateDemoDatabase(QEL_SOURCE_DATA_DIR, File.string());
    }
    static void TearDownTestSuite() { fs::remove_all(Dir); }
    static inline fs::path Dir, File;
    static inline TDemoDbSummary Summary;
};

TEST_F(QelMkDb, TablesHaveTheirRows) {
    TDb db(File);
    const std::map<std::string, long long> exact = {{"customer", 55}, {"vendors", 20}, {"parts", 61},
                                                    {"orders", 205},  {"BIOLIFE", 28}, {"riched", 4},
                                                    {"Hint", 8},      {"Help", 4}};
    for (const auto& [table, rows] : exact) {
        EXPECT_EQ(db.Scalar("SELECT count(*) FROM \"" + table + "\""), rows) << table;
        EXPECT_EQ(Summary.RowCounts.at(table), rows) << table;
    }
    const long long items = db.Scalar("SELECT count(*) FROM items");
    EXPECT_GE(items, 900);
    EXPECT_LE(items, 1500);
    EXPECT_EQ(Summary.RowCounts.at("items"), items);
    EXPECT_FALSE(fs::exists(File.string() + ".tmp"));
}

TEST_F(QelMkDb, ColumnNames) {
    TDb db(File);
    using V = std::vector<std::string>;
    EXPECT_EQ(db.Columns("customer"),
              (V{"CustNo", "Company", "Addr1", "Addr2", "City", "State", "Zip", "Country", "Phone", "FAX",
                 "TaxRate", "Contact", "LastInvoiceDate"}));
    EXPECT_EQ(db.Columns("orders"),
              (V{"OrderNo",       "CustNo",      "SaleDate",   "ShipDate",    "ShipToContact",
                 "ShipToAddr1",   "ShipToAddr2", "ShipToCity", "ShipToState", "ShipToZip",
                 "ShipToCountry", "ShipToPhone", "ShipVIA",    "PO",          "Terms",
                 "PaymentMethod", "ItemsTotal",  "TaxRate",    "Freight",     "AmountPaid"}));
    EXPECT_EQ(db.Columns("items"), (V{"OrderNo", "ItemNo", "PartNo", "Qty", "Discount"}));
    EXPECT_EQ(db.Columns("parts"),
              (V{"PartNo", "VendorNo", "Description", "OnHand", "OnOrder", "Cost", "ListPrice"}));
    EXPECT_EQ(db.Columns("vendors"), (V{"VendorNo", "VendorName", "Address1", "Address2", "City", "State",
                                        "Zip", "Country", "Phone", "FAX", "Preferred"}));
    EXPECT_EQ(db.Columns("BIOLIFE"), (V{"Species No", "Category", "Common_Name", "Species Name",
                                        "Length (cm)", "Length_In", "Notes", "Graphic"}));
    EXPECT_EQ(db.Columns("riched"), (V{"RICHTEXT"}));
    EXPECT_EQ(db.Columns("Hint"), (V{"FORMCLASS", "CONTROLNAME", "SHORTHINT", "LONGHINT"}));
    EXPECT_EQ(db.Columns("Help"), (V{"FORMCLASS", "HELPTEXT"}));
    // The hint table is keyed by form class, then control name.
    EXPECT_EQ(db.Query("SELECT name FROM pragma_table_info('Hint') WHERE pk > 0 ORDER BY pk"),
              (std::vector<V>{{"FORMCLASS"}, {"CONTROLNAME"}}));
    EXPECT_EQ(db.Query("SELECT type FROM pragma_table_info('BIOLIFE') WHERE name = 'Graphic'"),
              (std::vector<V>{{"GRAPHIC"}}));
}

TEST_F(QelMkDb, EveryPictureIsAWellFormedBmp) {
    TDb db(File);
    const auto species = db.Query("SELECT \"Species No\", Common_Name FROM BIOLIFE ORDER BY \"Species No\"");
    ASSERT_EQ(species.size(), 28u);
    std::set<std::string> distinct;
    for (size_t i = 0; i < species.size(); ++i) {
        SCOPED_TRACE(species[i][1]);
        const auto bmp = db.Blob("SELECT Graphic FROM BIOLIFE ORDER BY \"Species No\"", static_cast<int>(i));
        EXPECT_EQ(CheckBmp(bmp, kPictureWidth, kPictureHeight), "");
        distinct.insert(std::string(bmp.begin(), bmp.end()));
    }
    EXPECT_EQ(distinct.size(), species.size()) << "every species has its own picture";
}

TEST_F(QelMkDb, PictureShowsTheSpeciesColours) {
    // The clown triggerfish is drawn with a near-black body and a yellow-gold tail.
    TDb db(File);
    const auto bmp = db.Blob("SELECT Graphic FROM BIOLIFE WHERE \"Species No\" = 90020", 0);
    ASSERT_EQ(CheckBmp(bmp, kPictureWidth, kPictureHeight), "");
    int dark = 0, gold = 0;
    for (size_t p = 54; p + 2 < bmp.size(); p += 3) {
        const int b = bmp[p], g = bmp[p + 1], r = bmp[p + 2];
        if (r < 50 && g < 50 && b < 60) ++dark;
        if (r > 190 && g > 140 && g < 200 && b < 80) ++gold;
    }
    EXPECT_GT(dark, 2000);
    EXPECT_GT(gold, 500);
}

TEST_F(QelMkDb, RelationsHold) {
    TDb db(File);
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM orders WHERE CustNo NOT IN (SELECT CustNo FROM customer)"), 0);
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM items WHERE OrderNo NOT IN (SELECT OrderNo FROM orders)"), 0);
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM items WHERE PartNo NOT IN (SELECT PartNo FROM parts)"), 0);
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM parts WHERE VendorNo NOT IN (SELECT VendorNo FROM vendors)"),
              0);
    EXPECT_EQ(
        db.Scalar("SELECT count(*) FROM orders o WHERE NOT EXISTS (SELECT 1 FROM items i WHERE i.OrderNo = "
                  "o.OrderNo)"),
        0);
    // The tree-view queries of the demonstration work on these tables.
    EXPECT_GT(
        db.Scalar("SELECT count(*) FROM (SELECT ITEMS.ItemNo, ITEMS.Qty, PARTS.Description, PARTS.VendorNo "
                  "FROM ITEMS, PARTS WHERE ITEMS.PartNo = PARTS.PartNo)"),
        900);
    // Last invoice date = latest sale of the customer.
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM customer c WHERE LastInvoiceDate IS NOT "
                        "(SELECT max(SaleDate) FROM orders o WHERE o.CustNo = c.CustNo)"),
              0);
    // Order totals add up from their items.
    EXPECT_EQ(
        db.Scalar(
            "SELECT count(*) FROM orders o WHERE abs(ItemsTotal - (SELECT sum(i.Qty * p.ListPrice * "
            "(1 - i.Discount / 100.0)) FROM items i JOIN parts p ON p.PartNo = i.PartNo WHERE i.OrderNo = "
            "o.OrderNo)) > 0.01"),
        0);
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM orders WHERE ShipDate < SaleDate"), 0);
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM orders WHERE SaleDate NOT GLOB "
                        "'[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9]'"),
              0);
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM BIOLIFE WHERE abs(Length_In - \"Length (cm)\" / 2.54) > 0.006"),
              0);
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM riched WHERE RICHTEXT NOT LIKE '{\\rtf1%'"), 0);
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM Help WHERE HELPTEXT NOT LIKE '{\\rtf1%'"), 0);
    EXPECT_EQ(db.Scalar("SELECT count(*) FROM Help WHERE FORMCLASS = 'TfrmDemo433'"), 1);
}

TEST_F(QelMkDb, SameInputsGiveTheSameDatabaseAndReplaceTheOldFile) {
    const fs::path again = Dir / "again.db";
    { std::ofstream(again) << "not a database"; }
    GenerateDemoDatabase(QEL_SOURCE_DATA_DIR, again.string());
    TDb a(File), b(again);
    for (const char* t :
         {"customer", "orders", "items", "parts", "vendors", "BIOLIFE", "riched", "Hint", "Help"})
        EXPECT_EQ(a.Query(std::string("SELECT * FROM \"") + t + "\" ORDER BY rowid"),
                  b.Query(std::string("SELECT * FROM \"") + t + "\" ORDER BY rowid"))
            << t;
}

// A copy of the data folder with one file replaced.
fs::path BrokenCopy(const std::string& tag, const std::string& file, const std::string& content) {
    const fs::path dir = MakeTempDir(tag);
    fs::copy(QEL_SOURCE_DATA_DIR, dir / "data", fs::copy_options::recursive);
    std::ofstream(dir / "data" / file, std::ios::trunc) << content;
    return dir;
}

TEST(QelMkDbInput, BadFilesAreReportedAndLeaveNoOutput) {
    struct TBad {
        std::string File, Content, Fragment;
    };
    const TBad bad[] = {
        {"seed/vendors.csv", "VendorNo,VendorName\n1,\"unterminated\n",
         "vendors.csv:2: unterminated quoted field"},
        {"seed/parts.csv", "PartNo,VendorNo,Description,Cost,ListPrice\n1,999999,X,1,2\n",
         "unknown VendorNo 999999"},
        {"seed/parts.csv", "PartNo,VendorNo,Description,Cost,ListPrice\nx1,2010,X,1,2\n",
         "parts.csv:2: column \"PartNo\": \"x1\" is not an integer"},
        {"seed/customer.csv", "CustNo,Company\n1,A,extra\n", "customer.csv:2: expected 2 fields, found 3"},
        {"seed/biolife_pictures.csv",
         "Species No,Shape,Body,Belly,Fin,Height,Tail,Pattern,PatternColor,PatternCount,Water\n"
         "90020,blob,000000,000000,000000,0.5,fork,plain,000000,0,000000\n",
         "unknown shape \"blob\""},
        {"seed/biolife_pictures.csv",
         "Species No,Shape,Body,Belly,Fin,Height,Tail,Pattern,PatternColor,PatternCount,Water\n"
         "90020,fish,00000G,000000,000000,0.5,fork,plain,000000,0,000000\n",
         "is not an RRGGBB colour"},
        {"seed/terms.txt", "Net 30 days\n", "is longer than 6 characters"},
        {"seed/shipvia.txt", "# nothing\n", "the list is empty"},
        {"schema.sql", "CREATE TABLE (", "SQL failed"},
    };
    for (const auto& b : bad) {
        SCOPED_TRACE(b.File + ": " + b.Content);
        const fs::path dir = BrokenCopy("bad", b.File, b.Content);
        const fs::path out = dir / "out.db";
        try {
            GenerateDemoDatabase((dir / "data").string(), out.string());
            ADD_FAILURE() << "no error";
        } catch (const std::exception& e) {
            EXPECT_NE(std::string(e.what()).find(b.Fragment), std::string::npos) << e.what();
        }
        EXPECT_FALSE(fs::exists(out));
        EXPECT_FALSE(fs::exists(out.string() + ".tmp"));
        fs::remove_all(dir);
    }
}

TEST(QelMkDbInput, MissingFolderIsReported) {
    EXPECT_THROW(
        GenerateDemoDatabase("/nonexistent/qel/data", (fs::temp_directory_path() / "qelmkdb_x.db").string()),
        TInputError);
}

TEST(QelMkDbCsv, ParsesQuotesCommentsAndLineBreaks) {
    const TCsv csv =
        ParseCsv("# comment\nA,B,C\n1,\"x, y\",\"say \"\"hi\"\"\"\r\n\n2,\"two\nlines\",\n", "t.csv");
    ASSERT_EQ(csv.Header, (std::vector<std::string>{"A", "B", "C"}));
    ASSERT_EQ(csv.Rows.size(), 2u);
    EXPECT_EQ(csv.Rows[0], (std::vector<std::string>{"1", "x, y", "say \"hi\""}));
    EXPECT_EQ(csv.Rows[1], (std::vector<std::string>{"2", "two\nlines", ""}));
    EXPECT_EQ(csv.Lines, (std::vector<int>{3, 5}));
    EXPECT_EQ(csv.Column("C"), 2u);
    EXPECT_THROW(csv.Column("D"), TInputError);
}

TEST(QelMkDbCsv, RejectsMalformedText) {
    EXPECT_THROW(ParseCsv("A,B\n\"x\"y,1\n", "t.csv"), TInputError);
    EXPECT_THROW(ParseCsv("A,B\n1\n", "t.csv"), TInputError);
    EXPECT_THROW(ParseCsv("# only a comment\n", "t.csv"), TInputError);
    EXPECT_THROW(ParseCsv("A\n\"open", "t.csv"), TInputError);
    const TCsv csv = ParseCsv("N,C\n1e999,FFFFFF\n-,fffff\n", "t.csv");
    EXPECT_THROW(ToFloat(csv, 0, 0), TInputError);
    EXPECT_THROW(ToInteger(csv, 1, 0), TInputError);
    EXPECT_EQ(ToColour(csv, 0, 1), 0xFFFFFFu);
    EXPECT_THROW(ToColour(csv, 1, 1), TInputError);
}

TEST(QelMkDbPainter, EveryShapeTailAndPatternPaints) {
    const TFishShape shapes[] = {TFishShape::Fish, TFishShape::Eel, TFishShape::Ray};
    const TTailStyle tails[] = {TTailStyle::Fork, TTailStyle::Round, TTailStyle::Lunate, TTailStyle::Fan,
                                TTailStyle::Point};
    const TPattern patterns[] = {TPattern::Plain, TPattern::Bands, TPattern::Stripes, TPattern::Spots,
                                 TPattern::Lines};
    std::set<std::vector<std::uint8_t>> seen;
    for (size_t i = 0; i < 5; ++i) {
        TFishLook look;
        look.Shape = shapes[i % 3];
        look.Tail = tails[i];
        look.Pattern = patterns[i];
        look.PatternCount = static_cast<int>(i) + 1;
        look.Seed = i;
        const auto bmp = PaintFishBmp(look, 97, 61); // an odd width exercises the row padding
        EXPECT_EQ(CheckBmp(bmp, 97, 61), "") << i;
        seen.insert(bmp);
    }
    EXPECT_EQ(seen.size(), 5u);
    EXPECT_THROW(PaintFishBmp(TFishLook{}, 0, 10), std::invalid_argument);
    EXPECT_THROW(PaintFishBmp(TFishLook{}, 100000, 100), std::invalid_argument);
    EXPECT_THROW(ParseTail("wavy"), std::invalid_argument);
    EXPECT_THROW(ParsePattern(""), std::invalid_argument);
}

} // namespace
