#include <gtest/gtest.h>

#include <random>

#include "filter_fixture.h"

namespace qel::testing {
namespace {

using K = TFilterValueKind;

TFilterValue I(std::int64_t v) {
    return TFilterValue::Integer(v);
}
TFilterValue F(double v) {
    return TFilterValue::Float(v);
}
TFilterValue S(std::string v) {
    return TFilterValue::String(std::move(v));
}
TFilterValue B(bool v) {
    return TFilterValue::Boolean(v);
}
TFilterValue D(double v) {
    return TFilterValue::DateTime(v);
}
TFilterValue N() {
    return TFilterValue::Null();
}

std::unique_ptr<TFilterTable> MakeCustomers() {
    auto t = std::make_unique<TFilterTable>(std::vector<TColumn>{{"CustNo", K::Integer},
                                                                 {"Company", K::String},
                                                                 {"TaxRate", K::Float},
                                                                 {"Active", K::Boolean},
                                                                 {"LastInvoiceDate", K::DateTime},
                                                                 {"Length (cm)", K::Float},
                                                                 {"Notes", K::String},
                                                                 {"City", K::String}});
    t->AddRow({I(1221), S("Coral Lantern Divers"), F(8.5), B(true), D(34732), F(30), N(), S("Port Coral")});
    t->AddRow({I(1231), S("Bluewater"), F(0), B(false), N(), N(), S("O'Brien said '; DROP TABLE t; --"),
               S("Saltmarsh")});
    t->AddRow({I(1351), S("reef runner"), F(12.25), N(), D(35000.75), F(120.5), S(""), S("Kelp Harbour")});
    t->AddRow({I(1354), S("\xC3\x89lan Plong\xC3\xA9\x65"), F(0.1), B(true), D(33000), F(45),
               S("\xC3\x89T\xC3\x89"), S("\xC3\x89vian")});
    return t;
}

enum class TSql { Yes, No };
constexpr bool CI = true;

struct TCase {
    const char* Text;
    std::vector<int> Expected;
    TSql Sql = TSql::Yes;
    bool CaseInsensitive = false;
    bool NoPartial = false;
};

// clang-format off
const TCase kCases[] = {
    {"CustNo = 1221", {0}},
    {"CustNo <> 1221", {1, 2, 3}},
    {"CustNo != 1221", {1, 2, 3}},
    {"CustNo > 1231", {2, 3}},
    {"CustNo >= 1231 AND CustNo < 1354", {1, 2}},
    {"CustNo < 1231 OR CustNo = 1354", {0, 3}},
    {"NOT (CustNo = 1221)", {1, 2, 3}},
    {"NOT CustNo = 1221", {1, 2, 3}},
    {"Company = 'Bluewater'", {1}},
    {"Company = 'bluewater'", {}},
    {"Company = 'bluewater'", {1}, TSql::Yes, CI},
    {"Company = 'Coral*'", {0}},
    {"Company = 'Coral*'", {}, TSql::Yes, false, true},
    {"'Coral*' = Company", {0}},
    {"Company <> 'Coral*'", {1, 2, 3}},
    {"Company = 'coral*'", {0}, TSql::Yes, CI},
    {"Company = '\xC3\xA9lan*'", {3}, TSql::No, CI},
    {"Company = 'Coral'", {}},
    {"Company < 'c'", {0, 1}},
    {"Company < 'c'", {1}, TSql::Yes, CI},
    {"Company > 'Q'", {2, 3}},
    {"Company = '*'", {0, 1, 2, 3}},
    {"Notes = '*'", {1, 2, 3}},
    {"TaxRate > 1", {0, 2}},
    {"TaxRate = 0", {1}},
    {"TaxRate = 8.5", {0}},
    {"TaxRate * 2 > 16", {0, 2}},
    {"TaxRate / 0 IS NULL", {0, 1, 2, 3}},
    {"CustNo / 2 = 610.5", {0}},
    {"CustNo + 1 = 1222", {0}},
    {"CustNo - 1221 = 10", {1}},
    {"-CustNo < -1300", {2, 3}},
    {"- - CustNo = 1221", {0}},
    {"CustNo * 9223372036854775807 > 0", {0, 1, 2, 3}},
    {"[Length (cm)] + CustNo > 1300", {2, 3}},
    {"Active", {0, 3}},
    {"NOT Active", {1, 2}},
    {"Active = TRUE", {0, 3}},
    {"Active = FALSE", {1}},
    {"Active <> TRUE", {1}},
    {"Active = 'True'", {0, 3}},
    {"Active AND CustNo > 1300", {3}},
    {"Notes IS NULL", {0}},
    {"Notes IS NOT NULL", {1, 2, 3}},
    {"Notes = NULL", {0}},
    {"Notes <> NULL", {1, 2, 3}},
    {"NULL = Notes", {0}},
    {"Notes = ''", {2}},
    {"Notes <> 'x'", {1, 2, 3}},
    {"CustNo < NULL", {}},
    {"NULL = NULL", {0, 1, 2, 3}},
    {"[Length (cm)] > 40", {2, 3}},
    {"[Length (cm)] < 40 OR [Length (cm)] >= 40", {0, 2, 3}},
    {"[length (CM)] = 30", {0}},
    {"LastInvoiceDate > '1995-01-01'", {0, 2}, TSql::No},
    {"LastInvoiceDate = '02/02/1995'", {0}, TSql::No},
    {"LastInvoiceDate >= '1995-10-28 18:00'", {2}, TSql::No},
    {"LastInvoiceDate >= '1995-10-28T18:00:00.001'", {}, TSql::No},
    {"LastInvoiceDate IS NULL", {1}},
    {"YEAR(LastInvoiceDate) = 1995", {0, 2}, TSql::No},
    {"YEAR(LastInvoiceDate) = 1990 AND MONTH(LastInvoiceDate) = 5 AND DAY(LastInvoiceDate) = 7", {3}, TSql::No},
    {"HOUR(LastInvoiceDate) = 18 AND MINUTE(LastInvoiceDate) = 0", {2}, TSql::No},
    {"DATE(LastInvoiceDate) = '1995-10-28'", {2}, TSql::No},
    {"TIME(LastInvoiceDate) = '18:00'", {2}, TSql::No},
    {"LastInvoiceDate + 1 > '1995-10-29'", {2}, TSql::No},
    {"LastInvoiceDate - '1995-02-01' = 1", {0}, TSql::No},
    {"UPPER(Company) = 'BLUEWATER'", {1}, TSql::No},
    {"UPPER(Company) = '\xC3\x89LAN PLONG\xC3\x89\x45'", {3}, TSql::No},
    {"LOWER(City) = '\xC3\xA9vian'", {3}, TSql::No},
    {"TRIM('  x ') = 'x' AND CustNo = 1221", {0}, TSql::No},
    {"TRIMLEFT(' x') + TRIMRIGHT('y ') = 'xy' AND CustNo = 1231", {1}, TSql::No},
    {"SUBSTRING(Company, 1, 5) = 'Coral'", {0}},
    {"SUBSTRING(Company, 2, 3) = 'lan'", {3}},
    {"SUBSTRING(City, 6) = 'Coral'", {0}},
    {"Company LIKE '%Div%'", {0}},
    {"Company LIKE '%DIV%'", {0}, TSql::No, CI},
    {"Company LIKE '%Run%'", {}},
    {"Company LIKE '%Run%'", {2}, TSql::No, CI},
    {"Company LIKE 'Bl_ewater'", {1}},
    {"Company LIKE 'B*'", {}},
    {"Company NOT LIKE '%a%'", {2}},
    {"Notes LIKE '%'", {1, 2, 3}},
    {"CustNo IN (1221, 1351, 9)", {0, 2}},
    {"CustNo NOT IN (1221, 1351)", {1, 3}},
    {"City IN ('Saltmarsh', '\xC3\xA9vian')", {1}},
    {"City IN ('Saltmarsh', '\xC3\xA9vian')", {1, 3}, TSql::No, CI},
    {"City IN ('saltmarsh', 'KELP HARBOUR')", {1, 2}, TSql::Yes, CI},
    {"Notes NOT IN ('x', NULL)", {}},
    {"Notes IN ('', NULL)", {2}},
    {"TaxRate IN (0.1, 12.25)", {2, 3}},
    {"Company + ' ' + City = 'Bluewater Saltmarsh'", {1}},
    {"Notes = 'O''Brien said ''; DROP TABLE t; --'", {1}},
    {"Notes = \"O'Brien said '; DROP TABLE t; --\"", {1}},
    {"cUsTnO = 1221 and company = 'Coral Lantern Divers'", {0}},
    {"Company = 'Coral Lantern Divers' OR Company = 'Bluewater' AND CustNo = 0", {0}},
    {"(Company = 'Coral Lantern Divers' OR Company = 'Bluewater') AND CustNo = 1231", {1}},
    {"CustNo = '1221'", {0}},
    {"CustNo = ' 1221 '", {0}},
    {"TaxRate = '8.5'", {0}},
    {"1 = 1", {0, 1, 2, 3}},
    {"Company = 12", {}},
    {"(CustNo = 1221) = (TaxRate > 1)", {0, 1, 3}},
    {"\tCustNo\n=\r1221  ", {0}},
    {"CustNo = 1221.0", {0}},
    {"CustNo > 1.2e3 AND CustNo < .5e4", {0, 1, 2, 3}},
};
// clang-format on

void PrintTo(const TCase& c, std::ostream* os) {
    *os << c.Text << (c.CaseInsensitive ? " [ci]" : "") << (c.NoPartial ? " [no partial]" : "");
}

class FilterCases : public ::testing::TestWithParam<TCase> {};

TEST_P(FilterCases, EvaluatesAndTranslatesConsistently) {
    const TCase& c = GetParam();
    auto table = MakeCustomers();
    TFilterCompileOptions opts;
    opts.CaseInsensitive = c.CaseInsensitive;
    opts.NoPartialCompare = c.NoPartial;
    auto expr = CompileFilter(c.Text, table->Resolver(), opts);
    EXPECT_EQ(table->Evaluate(*expr), c.Expected) << c.Text;

    std::vector<TFilterValue> params{S("sentinel")};
    auto sql = FilterExprToSQL(*expr, table->Columns(), params);
    if (c.Sql == TSql::Yes) {
        ASSERT_TRUE(sql.has_value()) << c.Text;
        ASSERT_FALSE(params.empty());
        EXPECT_EQ(params[0], S("sentinel")) << "existing parameters are kept";
        params.erase(params.begin());
        EXPECT_EQ(table->Select(*sql, params), c.Expected) << c.Text << "\n  SQL: " << *sql;
    } else {
        EXPECT_FALSE(sql.has_value()) << c.Text << " -> " << sql.value_or("");
        EXPECT_EQ(params.size(), 1u) << "parameters untouched when not translated";
    }
}

INSTANTIATE_TEST_SUITE_P(Table, FilterCases, ::testing::ValuesIn(kCases));

struct TBadCase {
    std::string Text;
    int Position;
    const char* Fragment; // part of the reason
};

std::vector<TBadCase> BadCases() {
    return {
        {"", 1, "empty"},
        {"   ", 4, "empty"},
        {"CustNo = ", 10, "Operand expected"},
        {"Company = 'abc", 11, "Unterminated string"},
        {"Company = \"abc", 11, "Unterminated string"},
        {"Nope = 1", 1, "Field 'Nope' not found"},
        {"[Nope Nope] = 1", 1, "Field 'Nope Nope' not found"},
        {"CustNo = 1 1", 12, "Unexpected number 1"},
        {"CustNo = 1 Company", 12, "Unexpected"},
        {"CustNo = 'abc'", 10, "not a valid number"},
        {"Company > 5 AND", 16, "Operand expected"},
        {"(CustNo = 1", 1, "Missing ')'"},
        {"CustNo = 1)", 11, "Unbalanced ')'"},
        {"CustNo # 1", 8, "Unexpected character '#'"},
        {"CustNo ! 1", 8, "Unexpected character '!'"},
        {"CustNo = 1 ; DROP TABLE t", 12, "Unexpected character ';'"},
        {"[Length (cm) > 1", 1, "Unterminated field name"},
        {"[] = 1", 1, "Empty field name"},
        {"Company + 1 = 'x'", 9, "Type mismatch"},
        {"Company - Company = 'x'", 9, "Type mismatch"},
        {"NOT CustNo", 5, "condition"},
        {"CustNo", 1, "condition"},
        {"CustNo AND Active", 1, "condition"},
        {"CustNo = Company", 10, "Type mismatch"},
        {"Active = 2", 10, "Type mismatch"},
        {"Active = 'maybe'", 10, "not a valid Boolean"},
        {"UPPER(Company, 1) = 'X'", 1, "Wrong number of arguments"},
        {"YEAR() = 1", 1, "Wrong number of arguments"},
        {"YEAR(Company) = 1", 6, "Type mismatch"},
        {"FOO(1) = 1", 1, "Unknown function 'FOO'"},
        {"Company IS 1", 12, "NULL expected"},
        {"Company NOT 1", 13, "LIKE or IN expected"},
        {"CustNo IN 1", 11, "'(' expected"},
        {"CustNo IN (1, 2", 16, "')' or ',' expected"},
        {"CustNo IN (1, 'x')", 15, "not a valid number"},
        {"Company LIKE 1", 14, "Type mismatch"},
        {"CustNo LIKE 'x'", 1, "Type mismatch"},
        {"12abc = 1", 1, "Invalid number"},
        {"Company = 1e999", 11, "out of range"},
        {"LastInvoiceDate = 'not a date'", 19, "not a valid date"},
        {"LastInvoiceDate = '1995-02-30'", 19, "not a valid date"},
        {"LastInvoiceDate = '25:00'", 19, "not a valid date"},
        {"-Company = 'x'", 2, "Type mismatch"},
        {"'\xC3\x84' = Company AND Nope = 1", 19, "Field 'Nope' not found"},
        {"CustNo = 1 AND \x01", 16, "control character"},
        {"= 1", 1, "Operand expected"},
        {"CustNo = = 1", 10, "Operand expected"},
        {"CustNo = 1 OR", 14, "Operand expected"},
        {"CustNo < > 1", 10, "Operand expected"},
        {"()", 2, "Operand expected"},
        {std::string(200, '(') + "1=1" + std::string(200, ')'), 0, "nested too deeply"},
        {[] {
             std::string s;
             for (int i = 0; i < 300; ++i) s += "NOT ";
             return s + "Active";
         }(),
         0, "nested too deeply"},
        {[] {
             std::string s;
             for (int i = 0; i < 500; ++i) s += "1+";
             return s + "1 = 1";
         }(),
         0, "nested too deeply"},
        {[] {
             std::string s;
             for (int i = 0; i < 300; ++i) s += "-";
             return s + "1 = 1";
         }(),
         0, "nested too deeply"},
        {[] {
             std::string s;
             for (int i = 0; i < 300; ++i) s += "UPPER(";
             return s + "Company" + std::string(300, ')') + " = 'x'";
         }(),
         0, "nested too deeply"},
    };
}

TEST(FilterErrors, NamePositionAndReason) {
    auto table = MakeCustomers();
    for (const auto& c : BadCases()) {
        SCOPED_TRACE(c.Text.substr(0, 60));
        try {
            CompileFilter(c.Text, table->Resolver());
            ADD_FAILURE() << "no error";
        } catch (const EFilterError& e) {
            if (c.Position > 0) {
                EXPECT_EQ(e.Position(), c.Position) << e.Message();
            }
            EXPECT_NE(e.Reason().find(c.Fragment), std::string::npos) << e.Message();
            EXPECT_EQ(e.Message(), "Filter expression error at position " + std::to_string(e.Position()) +
                                       ": " + e.Reason());
        }
    }
}

TEST(FilterErrors, AreDatabaseErrors) {
    auto table = MakeCustomers();
    EXPECT_THROW(CompileFilter("CustNo =", table->Resolver()), EDatabaseError);
    try {
        CompileFilter("CustNo =", table->Resolver());
    } catch (const Exception& e) {
        EXPECT_STREQ(e.ClassName(), "EFilterError");
    }
}

TEST(FilterErrors, NoResolverMeansNoFields) {
    EXPECT_THROW(CompileFilter("A = 1", TFilterFieldResolver{}), EFilterError);
    auto e = CompileFilter("1 = 1", TFilterFieldResolver{});
    EXPECT_TRUE(e->Evaluate(TRow({})));
}

TEST(FilterExpr, FieldsUsedAndTree) {
    auto table = MakeCustomers();
    auto e = CompileFilter("City = 'x' OR (CustNo > 1 AND City <> 'y') OR Active", table->Resolver());
    EXPECT_EQ(e->FieldsUsed(), (std::vector<int>{0, 3, 7}));
    const TFilterNode& root = e->Root();
    ASSERT_EQ(root.Kind, TFilterNodeKind::Or);
    ASSERT_EQ(root.Args.size(), 3u) << "OR chains are flattened";
    EXPECT_EQ(root.Args[0]->Kind, TFilterNodeKind::Equal);
    EXPECT_EQ(root.Args[0]->Args[0]->FieldName, "City");
    EXPECT_EQ(root.Args[1]->Kind, TFilterNodeKind::And);
    EXPECT_EQ(root.Args[2]->Kind, TFilterNodeKind::BoolTest);
    EXPECT_EQ(root.Args[2]->Position, 47);
    EXPECT_EQ(e->Text(), "City = 'x' OR (CustNo > 1 AND City <> 'y') OR Active");
}

TEST(FilterExpr, PartialCompareKeepsThePrefixInTheTree) {
    auto table = MakeCustomers();
    auto e = CompileFilter("Company = 'Ka*'", table->Resolver());
    const TFilterNode& root = e->Root();
    EXPECT_TRUE(root.Partial);
    EXPECT_EQ(root.Args[1]->Value, S("Ka"));
    // An asterisk that is not last is an ordinary character.
    auto inner = CompileFilter("Company = 'K*a'", table->Resolver());
    EXPECT_FALSE(inner->Root().Partial);
    EXPECT_EQ(table->Evaluate(*inner), std::vector<int>{});
}

TEST(FilterExpr, DatasetOptionSetConverts) {
    auto table = MakeCustomers();
    auto e = CompileFilter("Company = 'bluewater'", table->Resolver(), TFilterOptions{foCaseInsensitive});
    EXPECT_EQ(table->Evaluate(*e), std::vector<int>{1});
    auto p = CompileFilter("Company = 'Coral*'", table->Resolver(), TFilterOptions{foNoPartialCompare});
    EXPECT_EQ(table->Evaluate(*p), std::vector<int>{});
}

TEST(FilterExpr, CustomDateParserIsTriedFirst) {
    auto table = MakeCustomers();
    TFilterCompileOptions o;
    o.ParseDateTime = [](std::string_view s) -> std::optional<double> {
        if (s == "2.2.1995") return 34732.0;
        return std::nullopt;
    };
    auto e = CompileFilter("LastInvoiceDate = '2.2.1995'", table->Resolver(), o);
    EXPECT_EQ(table->Evaluate(*e), std::vector<int>{0});
    auto iso = CompileFilter("LastInvoiceDate = '1995-02-02'", table->Resolver(), o);
    EXPECT_EQ(table->Evaluate(*iso), std::vector<int>{0}) << "the built-in forms remain";
}

TEST(FilterExpr, RecordKindsDifferentFromDeclaredDoNotBreakEvaluation) {
    auto table = MakeCustomers();
    auto e = CompileFilter("CustNo > 5 AND Company = 'x*' OR YEAR(LastInvoiceDate) = 2000 OR "
                           "SUBSTRING(Company, CustNo) = 'a' OR UPPER(Company) LIKE '%'",
                           table->Resolver());
    // A reader handing back unexpected kinds (text in a number field, numbers in text fields).
    TRow odd({S("12"), I(5), S("x"), S("y"), S("1995-01-01"), B(true), F(1), I(3)});
    EXPECT_FALSE(e->Evaluate(odd));
    TRow none({});
    EXPECT_FALSE(e->Evaluate(none));
}

TEST(FilterSql, HostileTextOnlyEverReachesSqlAsParameters) {
    TFilterTable table({{"Name", K::String}, {"We\"ird", K::String}, {"x]y", K::Integer}});
    table.AddRow({S("'; DROP TABLE t; --"), S("a"), I(1)});
    table.AddRow({S("Robert'); DROP TABLE t;--"), S("b\"; --"), I(2)});
    table.AddRow({S("plain"), S("c"), I(3)});
    const std::string texts[] = {
        "Name = '''; DROP TABLE t; --'",        "Name = 'Robert''); DROP TABLE t;--' OR [We\"ird] = 'c'",
        "[We\"ird] = 'b\"; --' AND [x]]y] = 2", "Name LIKE '%DROP%' AND [x]]y] IN (1, 2, 3)",
        "Name = \"'; DROP TABLE t; --*\"",      "Name <> '' AND [We\"ird] NOT IN ('a', ';--')",
    };
    const std::vector<int> expected[] = {{0}, {1, 2}, {1}, {0, 1}, {0}, {1, 2}};
    for (size_t i = 0; i < std::size(texts); ++i) {
        SCOPED_TRACE(texts[i]);
        auto e = CompileFilter(texts[i], table.Resolver());
        EXPECT_EQ(table.Evaluate(*e), expected[i]);
        std::vector<TFilterValue> params;
        auto sql = FilterExprToSQL(*e, table.Columns(), params);
        ASSERT_TRUE(sql.has_value());
        EXPECT_EQ(sql->find("DROP"), std::string::npos) << *sql;
        EXPECT_EQ(sql->find('\''), std::string::npos) << "no literal text in the SQL: " << *sql;
        EXPECT_EQ(sql->find("--"), std::string::npos) << *sql;
        EXPECT_EQ(table.Select(*sql, params), expected[i]) << *sql;
        EXPECT_EQ(table.TableCount(), 1);
    }
    std::vector<TFilterValue> params;
    auto e = CompileFilter("[We\"ird] = 'a'", table.Resolver());
    EXPECT_EQ(FilterExprToSQL(*e, table.Columns(), params), "COALESCE(\"We\"\"ird\" = ? COLLATE BINARY, 0)");
    EXPECT_EQ(params, std::vector<TFilterValue>{S("a")});
}

TEST(FilterSql, UnmappedColumnIsNotTranslated) {
    auto table = MakeCustomers();
    auto e = CompileFilter("CustNo = 1 AND Company = 'x'", table->Resolver());
    std::vector<TFilterValue> params;
    auto only0 = [](int i) -> std::optional<std::string> {
        if (i == 0) return std::string("CustNo");
        return std::nullopt;
    };
    EXPECT_FALSE(FilterExprToSQL(*e, only0, params).has_value());
    EXPECT_TRUE(params.empty());
    EXPECT_FALSE(FilterExprToSQL(*e, TFilterColumnMapper{}, params).has_value());
}

TEST(FilterSql, DeepTreesStayInCpp) {
    auto table = MakeCustomers();
    std::string text = "CustNo";
    for (int i = 0; i < 40; ++i) text = "-(" + text + ")";
    auto e = CompileFilter(text + " < 1300", table->Resolver());
    EXPECT_EQ(table->Evaluate(*e), (std::vector<int>{0, 1})) << "an even count of minus signs";
    std::vector<TFilterValue> params;
    EXPECT_FALSE(FilterExprToSQL(*e, table->Columns(), params).has_value());
}

TEST(FilterSql, LargeTreesStayInCpp) {
    auto table = MakeCustomers();
    std::string chain = "CustNo > 0";
    for (int i = 0; i < 1200; ++i) chain += " AND CustNo <> " + std::to_string(i);
    std::string list = "CustNo IN (1231";
    for (int i = 0; i < 2000; ++i) list += ", " + std::to_string(5000 + i);
    list += ")";
    for (const std::string& text : {chain, list}) {
        auto e = CompileFilter(text, table->Resolver());
        EXPECT_EQ(table->Evaluate(*e),
                  text == chain ? (std::vector<int>{0, 1, 2, 3}) : (std::vector<int>{1}));
        std::vector<TFilterValue> params;
        EXPECT_FALSE(FilterExprToSQL(*e, table->Columns(), params).has_value());
        EXPECT_TRUE(params.empty());
    }
}

TEST(FilterSql, QuoteIdentifier) {
    EXPECT_EQ(QuoteSQLIdentifier("Length (cm)"), "\"Length (cm)\"");
    EXPECT_EQ(QuoteSQLIdentifier("a\"b"), "\"a\"\"b\"");
    EXPECT_EQ(QuoteSQLIdentifier(""), "\"\"");
}

// Random expressions over random rows: whenever a tree is translated, SQLite must select exactly the
// rows the C++ evaluation accepts.
class TRandomExpr {
public:
    explicit TRandomExpr(unsigned seed) : FRng(seed) {}

    std::string Predicate(int depth) {
        switch (Pick(depth > 0 ? 9 : 6)) {
        case 0: return Num(depth) + " " + CompareOp() + " " + Num(depth);
        case 1: return Str(depth) + " " + CompareOp() + " " + Str(depth);
        case 2: return StrField() + " " + (Pick(2) ? "=" : "<>") + " '" + Word() + "*'";
        case 3: return Pick(2) ? "Flag" : "NOT Flag";
        case 4: return (Pick(2) ? Num(depth) : Str(depth)) + (Pick(2) ? " IS NULL" : " IS NOT NULL");
        case 5: return StrField() + (Pick(2) ? " LIKE '" : " NOT LIKE '") + Pattern() + "'";
        case 6: return "(" + Predicate(depth - 1) + (Pick(2) ? " AND " : " OR ") + Predicate(depth - 1) + ")";
        case 7: return "NOT (" + Predicate(depth - 1) + ")";
        default: {
            std::string s = Num(0) + (Pick(2) ? " IN (" : " NOT IN (");
            const int n = 1 + Pick(3);
            for (int i = 0; i < n; ++i) s += (i ? ", " : "") + (Pick(5) ? NumLit() : std::string("NULL"));
            return s + ")";
        }
        }
    }

private:
    std::mt19937 FRng;
    int Pick(int n) { return static_cast<int>(FRng() % static_cast<unsigned>(n)); }
    std::string CompareOp() {
        static const char* ops[] = {"=", "<>", "<", "<=", ">", ">="};
        return ops[Pick(6)];
    }
    std::string NumLit() {
        static const char* lits[] = {"0", "1", "-1", "2.5", "9223372036854775807", "100", "-3.75", "NULL"};
        return lits[Pick(8)];
    }
    std::string Num(int depth) {
        switch (Pick(depth > 0 ? 5 : 3)) {
        case 0: return "A";
        case 1: return "X";
        case 2: return NumLit();
        case 3: {
            static const char* ops[] = {" + ", " - ", " * ", " / "};
            return "(" + Num(depth - 1) + ops[Pick(4)] + Num(depth - 1) + ")";
        }
        default: return "-" + Num(depth - 1);
        }
    }
    std::string Word() {
        static const char* words[] = {"", "a", "ab", "Ab", "b", "abc", "x'y", "%", "_"};
        return words[Pick(9)];
    }
    std::string StrField() { return Pick(2) ? "S" : "T"; }
    std::string Pattern() {
        static const char* pats[] = {"%", "a%", "%b%", "_b%", "A%", "%*%", "[a]%", "%?"};
        return pats[Pick(8)];
    }
    std::string Str(int depth) {
        switch (Pick(depth > 0 ? 4 : 3)) {
        case 0: return StrField();
        case 1: return "'" + Word() + "'";
        case 2:
            return "SUBSTRING(" + StrField() + ", " + std::to_string(1 + Pick(3)) + ", " +
                   std::to_string(1 + Pick(3)) + ")";
        default: return "(" + Str(depth - 1) + " + " + Str(depth - 1) + ")";
        }
    }
};

TEST(FilterSql, RandomTreesSelectTheSameRowsInSqlite) {
    TFilterTable table(
        {{"A", K::Integer}, {"X", K::Float}, {"S", K::String}, {"T", K::String}, {"Flag", K::Boolean}});
    std::mt19937 rng(20261211);
    const std::int64_t ints[] = {0, 1, -1, 2, 100, 9223372036854775807LL, -9223372036854775807LL - 1};
    const double floats[] = {0.0, 2.5, -3.75, 1e300, 100.0, 0.5};
    const char* strs[] = {"", "a", "ab", "Ab", "abc", "b", "x'y", "%b", "[a]c", "a*", "\xC3\xA9t\xC3\xA9"};
    for (int r = 0; r < 60; ++r) {
        auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
        table.AddRow({pick(6) ? I(ints[pick(7)]) : N(), pick(6) ? F(floats[pick(6)]) : N(),
                      pick(6) ? S(strs[pick(11)]) : N(), pick(6) ? S(strs[pick(11)]) : N(),
                      pick(4) ? B(pick(2) == 1) : N()});
    }
    TRandomExpr gen(7);
    int translated = 0;
    for (int i = 0; i < 1500; ++i) {
        const std::string text = gen.Predicate(3);
        for (bool ci : {false, true}) {
            TFilterCompileOptions o;
            o.CaseInsensitive = ci;
            std::unique_ptr<TFilterExpr> e;
            try {
                e = CompileFilter(text, table.Resolver(), o);
            } catch (const EFilterError&) {
                continue; // e.g. a string literal compared with a number
            }
            std::vector<TFilterValue> params;
            auto sql = FilterExprToSQL(*e, table.Columns(), params);
            if (!sql) continue;
            ++translated;
            ASSERT_EQ(table.Select(*sql, params), table.Evaluate(*e))
                << text << (ci ? " [ci]" : "") << "\n  " << *sql;
        }
    }
    EXPECT_GT(translated, 1500) << "most generated trees are translatable";
}

} // namespace
} // namespace qel::testing
