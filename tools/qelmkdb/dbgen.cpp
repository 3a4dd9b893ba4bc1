#include "dbgen.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <stdexcept>
#include <tuple>
#include <variant>
#include <vector>

#include "csv.h"
#include "fish_painter.h"

namespace fs = std::filesystem;

namespace qelmkdb {
namespace {

// Deterministic random numbers (the standard distributions differ between libraries).
class TRandom {
public:
    explicit TRandom(std::uint64_t seed) : FState(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (FState += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform in [lo, hi].
    long long Range(long long lo, long long hi) {
        return lo + static_cast<long long>(Next() % static_cast<std::uint64_t>(hi - lo + 1));
    }
    double Unit() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }
    bool Chance(double p) { return Unit() < p; }
    template <class T>
    const T& Pick(const std::vector<T>& v) {
        return v[static_cast<size_t>(Range(0, static_cast<long long>(v.size()) - 1))];
    }

private:
    std::uint64_t FState;
};

using TValue = std::variant<std::monostate, long long, double, std::string, std::vector<std::uint8_t>>;

class TDatabase {
public:
    explicit TDatabase(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &FDb, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
            SQLITE_OK) {
            const std::string m = FDb ? sqlite3_errmsg(FDb) : "out of memory";
            sqlite3_close(FDb);
            throw std::runtime_error(path + ": " + m);
        }
    }
    ~TDatabase() { sqlite3_close(FDb); }
    TDatabase(const TDatabase&) = delete;
    TDatabase& operator=(const TDatabase&) = delete;

    void Exec(const std::string& sql) {
        char* err = nullptr;
        if (sqlite3_exec(FDb, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
            const std::string m = err ? err : "unknown error";
            sqlite3_free(err);
            throw std::runtime_error("SQL failed: " + m);
        }
    }

    void Insert(const std::string& table, const std::vector<std::string>& columns,
                const std::vector<TValue>& values) {
        std::string sql = "INSERT INTO " + Quote(table) + " (";
        for (size_t i = 0; i < columns.size(); ++i) sql += (i ? ", " : "") + Quote(columns[i]);
        sql += ") VALUES (";
        for (size_t i = 0; i < columns.size(); ++i) sql += i ? ", ?" : "?";
        sql += ")";
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(FDb, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            throw std::runtime_error("SQL failed: " + std::string(sqlite3_errmsg(FDb)));
        for (size_t i = 0; i < values.size(); ++i) {
            const int n = static_cast<int>(i) + 1;
            const TValue& v = values[i];
            if (std::holds_alternative<long long>(v)) {
                sqlite3_bind_int64(st, n, std::get<long long>(v));
            } else if (std::holds_alternative<double>(v)) {
                sqlite3_bind_double(st, n, std::get<double>(v));
            } else if (std::holds_alternative<std::string>(v)) {
                const auto& s = std::get<std::string>(v);
                sqlite3_bind_text(st, n, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
            } else if (std::holds_alternative<std::vector<std::uint8_t>>(v)) {
                const auto& b = std::get<std::vector<std::uint8_t>>(v);
                sqlite3_bind_blob(st, n, b.data(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
            } else {
                sqlite3_bind_null(st, n);
            }
        }
        const int rc = sqlite3_step(st);
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE)
            throw std::runtime_error("insert into " + table + " failed: " + std::string(sqlite3_errmsg(FDb)));
    }

    long long Count(const std::string& table) {
        sqlite3_stmt* st = nullptr;
        const std::string sql = "SELECT count(*) FROM " + Quote(table);
        if (sqlite3_prepare_v2(FDb, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            throw std::runtime_error("SQL failed: " + std::string(sqlite3_errmsg(FDb)));
        sqlite3_step(st);
        const long long n = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
        return n;
    }

    static std::string Quote(const std::string& name) {
        std::string out = "\"";
        for (char c : name) {
            if (c == '"') out += '"';
            out += c;
        }
        return out + "\"";
    }

private:
    sqlite3* FDb = nullptr;
};

// Days since 1970-01-01 of a civil date.
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

// "yyyy-mm-dd hh:nn:ss" of a time given in minutes since 1970-01-01.
std::string DateTimeText(long long minutes) {
    long long z = minutes / 1440 + 719468;
    const long long mins = minutes % 1440;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u %02lld:%02lld:00", y, m, d, mins / 60, mins % 60);
    return buf;
}

double Cents(double v) {
    return std::round(v * 100.0) / 100.0;
}

std::string Field(const TCsv& csv, size_t row, const std::string& column) {
    return csv.Rows[row][csv.Column(column)];
}

TValue TextOrNull(const std::string& s) {
    if (s.empty()) return std::monostate{};
    return s;
}

void CheckLength(const TCsv& csv, size_t row, const std::string& column, size_t max) {
    const std::string& s = Field(csv, row, column);
    if (s.size() > max)
        throw TInputError(csv.FileName + ":" + std::to_string(csv.Lines[row]) + ": column \"" + column +
                          "\" is longer than " + std::to_string(max) + " characters");
}

std::vector<fs::path> FilesIn(const fs::path& dir, const std::string& extension) {
    std::vector<fs::path> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec))
        if (e.is_regular_file() && e.path().extension() == extension) out.push_back(e.path());
    if (ec) throw TInputError(dir.string() + ": " + ec.message());
    std::sort(out.begin(), out.end());
    return out;
}

struct TCustomer {
    long long CustNo;
    std::string Contact, Addr1, City, State, Zip, Country, Phone;
    double TaxRate;
};

struct TPart {
    long long PartNo;
    double ListPrice;
};

} // namespace

static TDemoDbSummary Generate(const std::string& dataDir, const std::string& outFile, const fs::path& tmp);

TDemoDbSummary GenerateDemoDatabase(const std::string& dataDir, const std::string& outFile) {
    const fs::path tmp = fs::path(outFile + ".tmp");
    try {
        return Generate(dataDir, outFile, tmp);
    } catch (...) {
        std::error_code ec;
        fs::remove(tmp, ec); // never leave a half-built file behind
        throw;
    }
}

static TDemoDbSummary Generate(const std::string& dataDir, const std::string& outFile, const fs::path& tmp) {
    const fs::path data(dataDir);
    const fs::path seed = data / "seed";
    std::error_code ec;
    fs::remove(tmp, ec);
    if (!fs::path(outFile).parent_path().empty()) fs::create_directories(fs::path(outFile).parent_path(), ec);

    TRandom rng(0x51E1DB0D1995ULL);
    {
        TDatabase db(tmp.string());
        db.Exec("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; BEGIN;");
        db.Exec(ReadFile((data / "schema.sql").string()));

        // Vendors.
        const TCsv vendors = ReadCsv((seed / "vendors.csv").string());
        std::set<long long> vendorNos;
        for (size_t r = 0; r < vendors.Rows.size(); ++r) {
            const long long no = ToInteger(vendors, r, vendors.Column("VendorNo"));
            const long long preferred = ToInteger(vendors, r, vendors.Column("Preferred"));
            if (preferred != 0 && preferred != 1)
                throw TInputError(vendors.FileName + ":" + std::to_string(vendors.Lines[r]) +
                                  ": Preferred must be 0 or 1");
            CheckLength(vendors, r, "VendorName", 30);
            vendorNos.insert(no);
            db.Insert("vendors",
                      {"VendorNo", "VendorName", "Address1", "Address2", "City", "State", "Zip", "Country",
                       "Phone", "FAX", "Preferred"},
                      {no, Field(vendors, r, "VendorName"), TextOrNull(Field(vendors, r, "Address1")),
                       TextOrNull(Field(vendors, r, "Address2")), TextOrNull(Field(vendors, r, "City")),
                       TextOrNull(Field(vendors, r, "State")), TextOrNull(Field(vendors, r, "Zip")),
                       TextOrNull(Field(vendors, r, "Country")), TextOrNull(Field(vendors, r, "Phone")),
                       TextOrNull(Field(vendors, r, "FAX")), preferred});
        }

        // Parts, with stock figures.
        const TCsv parts = ReadCsv((seed / "parts.csv").string());
        std::vector<TPart> partList;
        for (size_t r = 0; r < parts.Rows.size(); ++r) {
            const long long no = ToInteger(parts, r, parts.Column("PartNo"));
            const long long vendor = ToInteger(parts, r, parts.Column("VendorNo"));
            if (!vendorNos.count(vendor))
                throw TInputError(parts.FileName + ":" + std::to_string(parts.Lines[r]) +
                                  ": unknown VendorNo " + std::to_string(vendor));
            CheckLength(parts, r, "Description", 30);
            const double cost = ToFloat(parts, r, parts.Column("Cost"));
            const double price = ToFloat(parts, r, parts.Column("ListPrice"));
            const double onHand = static_cast<double>(rng.Range(0, 60) * (rng.Chance(0.3) ? 5 : 1));
            const double onOrder = rng.Chance(0.4) ? static_cast<double>(rng.Range(1, 10) * 10) : 0.0;
            db.Insert("parts",
                      {"PartNo", "VendorNo", "Description", "OnHand", "OnOrder", "Cost", "ListPrice"},
                      {no, vendor, Field(parts, r, "Description"), onHand, onOrder, cost, price});
            partList.push_back({no, price});
        }

        // Customers.
        const TCsv customers = ReadCsv((seed / "customer.csv").string());
        std::vector<TCustomer> customerList;
        for (size_t r = 0; r < customers.Rows.size(); ++r) {
            TCustomer c;
            c.CustNo = ToInteger(customers, r, customers.Column("CustNo"));
            c.TaxRate = ToFloat(customers, r, customers.Column("TaxRate"));
            c.Contact = Field(customers, r, "Contact");
            c.Addr1 = Field(customers, r, "Addr1");
            c.City = Field(customers, r, "City");
            c.State = Field(customers, r, "State");
            c.Zip = Field(customers, r, "Zip");
            c.Country = Field(customers, r, "Country");
            c.Phone = Field(customers, r, "Phone");
            for (const auto& [column, max] : std::vector<std::pair<std::string, size_t>>{{"Company", 30},
                                                                                         {"Addr1", 30},
                                                                                         {"City", 20},
                                                                                         {"Contact", 20},
                                                                                         {"Phone", 15},
                                                                                         {"FAX", 15}})
                CheckLength(customers, r, column, max);
            db.Insert("customer",
                      {"CustNo", "Company", "Addr1", "Addr2", "City", "State", "Zip", "Country", "Phone",
                       "FAX", "TaxRate", "Contact"},
                      {c.CustNo, Field(customers, r, "Company"), TextOrNull(c.Addr1),
                       TextOrNull(Field(customers, r, "Addr2")), TextOrNull(c.City), TextOrNull(c.State),
                       TextOrNull(c.Zip), TextOrNull(c.Country), TextOrNull(c.Phone),
                       TextOrNull(Field(customers, r, "FAX")), c.TaxRate, TextOrNull(c.Contact)});
            customerList.push_back(std::move(c));
        }
        if (customerList.empty() || partList.empty()) throw TInputError("customers and parts are required");

        // Orders and their items.
        const auto contacts = ReadList((seed / "contacts.txt").string());
        const auto shipVia = ReadList((seed / "shipvia.txt").string());
        const auto terms = ReadList((seed / "terms.txt").string());
        const auto payment = ReadList((seed / "payment.txt").string());
        for (const auto& [list, file, max] :
             {std::tuple{&contacts, "contacts.txt", size_t{20}},
              std::tuple{&shipVia, "shipvia.txt", size_t{7}}, std::tuple{&terms, "terms.txt", size_t{6}},
              std::tuple{&payment, "payment.txt", size_t{7}}})
            for (const auto& entry : *list)
                if (entry.size() > max)
                    throw TInputError((seed / file).string() + ": \"" + entry + "\" is longer than " +
                                      std::to_string(max) + " characters");
        constexpr int kOrders = 205;
        const long long first = DaysFromCivil(2020, 1, 6) * 1440, last = DaysFromCivil(2025, 6, 27) * 1440;
        std::vector<long long> saleTimes;
        for (int i = 0; i < kOrders; ++i) {
            long long t = first + rng.Range(0, (last - first) / 1440) * 1440;
            t += rng.Range(8, 17) * 60 + rng.Range(0, 11) * 5; // office hours
            saleTimes.push_back(t);
        }
        std::sort(saleTimes.begin(), saleTimes.end());
        std::vector<std::optional<long long>> lastInvoice(customerList.size());
        long long orderNo = 1003;
        for (int i = 0; i < kOrders; ++i) {
            const size_t ci =
                static_cast<size_t>(rng.Range(0, static_cast<long long>(customerList.size()) - 1));
            const TCustomer& c = customerList[ci];
            const long long sale = saleTimes[static_cast<size_t>(i)];
            const long long ship = sale + rng.Range(1, 14) * 1440;
            lastInvoice[ci] = std::max(lastInvoice[ci].value_or(sale), sale);

            const int itemCount = static_cast<int>(rng.Range(1, 11));
            std::set<size_t> used;
            double itemsTotal = 0;
            for (int k = 1; k <= itemCount; ++k) {
                size_t p = static_cast<size_t>(rng.Range(0, static_cast<long long>(partList.size()) - 1));
                while (used.count(p)) p = (p + 1) % partList.size();
                used.insert(p);
                const long long qty = rng.Chance(0.7) ? rng.Range(1, 10) : rng.Range(11, 60);
                const double discount = rng.Chance(0.8) ? 0.0 : static_cast<double>(rng.Range(1, 4) * 5);
                itemsTotal += static_cast<double>(qty) * partList[p].ListPrice * (1 - discount / 100);
                db.Insert("items", {"OrderNo", "ItemNo", "PartNo", "Qty", "Discount"},
                          {orderNo, static_cast<long long>(k), partList[p].PartNo, qty, discount});
            }
            itemsTotal = Cents(itemsTotal);
            const double freight = rng.Chance(0.3) ? 0.0 : Cents(static_cast<double>(rng.Range(5, 250)));
            const double due = Cents(itemsTotal * (1 + c.TaxRate / 100) + freight);
            double paid = due;
            if (rng.Chance(0.12)) paid = rng.Chance(0.5) ? 0.0 : Cents(due * 0.5);
            const bool shipElsewhere = rng.Chance(0.2);
            const std::string contact = shipElsewhere || rng.Chance(0.15) ? rng.Pick(contacts) : c.Contact;
            TValue po = std::monostate{};
            if (rng.Chance(0.35)) po = "PO-" + std::to_string(rng.Range(10000, 99999));
            db.Insert("orders", {"OrderNo",       "CustNo",      "SaleDate",   "ShipDate",    "ShipToContact",
                                 "ShipToAddr1",   "ShipToAddr2", "ShipToCity", "ShipToState", "ShipToZip",
                                 "ShipToCountry", "ShipToPhone", "ShipVIA",    "PO",          "Terms",
                                 "PaymentMethod", "ItemsTotal",  "TaxRate",    "Freight",     "AmountPaid"},
                      {orderNo,
                       c.CustNo,
                       DateTimeText(sale),
                       DateTimeText(ship),
                       TextOrNull(contact),
                       shipElsewhere ? TextOrNull(c.Addr1) : TValue{},
                       TValue{},
                       shipElsewhere ? TextOrNull(c.City) : TValue{},
                       shipElsewhere ? TextOrNull(c.State) : TValue{},
                       shipElsewhere ? TextOrNull(c.Zip) : TValue{},
                       shipElsewhere ? TextOrNull(c.Country) : TValue{},
                       shipElsewhere ? TextOrNull(c.Phone) : TValue{},
                       rng.Pick(shipVia),
                       po,
                       rng.Pick(terms),
                       rng.Pick(payment),
                       itemsTotal,
                       c.TaxRate,
                       freight,
                       paid});
            orderNo += rng.Chance(0.1) ? 2 : 1;
        }
        for (size_t ci = 0; ci < customerList.size(); ++ci) {
            if (!lastInvoice[ci]) continue;
            db.Exec("UPDATE customer SET LastInvoiceDate = '" + DateTimeText(*lastInvoice[ci]) +
                    "' WHERE CustNo = " + std::to_string(customerList[ci].CustNo));
        }

        // Marine life with pictures.
        const TCsv life = ReadCsv((seed / "biolife.csv").string());
        const TCsv looks = ReadCsv((seed / "biolife_pictures.csv").string());
        std::map<long long, size_t> lookRow;
        for (size_t r = 0; r < looks.Rows.size(); ++r)
            lookRow[ToInteger(looks, r, looks.Column("Species No"))] = r;
        for (size_t r = 0; r < life.Rows.size(); ++r) {
            const long long no = ToInteger(life, r, life.Column("Species No"));
            const auto it = lookRow.find(no);
            if (it == lookRow.end())
                throw TInputError(looks.FileName + ": no picture for species " + std::to_string(no));
            const size_t p = it->second;
            TFishLook look;
            try {
                look.Shape = ParseShape(Field(looks, p, "Shape"));
                look.Tail = ParseTail(Field(looks, p, "Tail"));
                look.Pattern = ParsePattern(Field(looks, p, "Pattern"));
            } catch (const std::invalid_argument& e) {
                throw TInputError(looks.FileName + ":" + std::to_string(looks.Lines[p]) + ": " + e.what());
            }
            look.Body = ToColour(looks, p, looks.Column("Body"));
            look.Belly = ToColour(looks, p, looks.Column("Belly"));
            look.Fin = ToColour(looks, p, looks.Column("Fin"));
            look.PatternColour = ToColour(looks, p, looks.Column("PatternColor"));
            look.Water = ToColour(looks, p, looks.Column("Water"));
            look.Height = std::clamp(ToFloat(looks, p, looks.Column("Height")), 0.05, 1.5);
            look.PatternCount =
                static_cast<int>(std::clamp(ToInteger(looks, p, looks.Column("PatternCount")), 0LL, 64LL));
            look.Seed = static_cast<std::uint64_t>(no);
            const double cm = ToFloat(life, r, life.Column("Length (cm)"));
            CheckLength(life, r, "Common_Name", 30);
            CheckLength(life, r, "Species Name", 40);
            db.Insert("BIOLIFE",
                      {"Species No", "Category", "Common_Name", "Species Name", "Length (cm)", "Length_In",
                       "Notes", "Graphic"},
                      {no, Field(life, r, "Category"), Field(life, r, "Common_Name"),
                       Field(life, r, "Species Name"), cm, Cents(cm / 2.54),
                       TextOrNull(Field(life, r, "Notes")),
                       PaintFishBmp(look, kPictureWidth, kPictureHeight)});
        }

        // Rich text documents, hints and help.
        for (const auto& f : FilesIn(data / "riched", ".rtf"))
            db.Insert("riched", {"RICHTEXT"}, {ReadFile(f.string())});
        const TCsv hints = ReadCsv((seed / "hint.csv").string());
        for (size_t r = 0; r < hints.Rows.size(); ++r)
            db.Insert("Hint", {"FORMCLASS", "CONTROLNAME", "SHORTHINT", "LONGHINT"},
                      {Field(hints, r, "FORMCLASS"), Field(hints, r, "CONTROLNAME"),
                       TextOrNull(Field(hints, r, "SHORTHINT")), TextOrNull(Field(hints, r, "LONGHINT"))});
        for (const auto& f : FilesIn(data / "help", ".rtf"))
            db.Insert("Help", {"FORMCLASS", "HELPTEXT"}, {f.stem().string(), ReadFile(f.string())});

        db.Exec("COMMIT");
    }

    TDemoDbSummary summary;
    {
        TDatabase db(tmp.string());
        for (const char* table :
             {"customer", "orders", "items", "parts", "vendors", "BIOLIFE", "riched", "Hint", "Help"})
            summary.RowCounts[table] = db.Count(table);
    }
    fs::rename(tmp, outFile, ec);
    if (ec) throw std::runtime_error(outFile + ": " + ec.message());
    return summary;
}

} // namespace qelmkdb
