#pragma once
// The dataset filter language: compiles a `Filter` text into a typed expression tree that is
// evaluated per record in C++, and that can be translated into an SQLite WHERE clause with every
// literal bound as a parameter.
//
// Language:
//   field names       plain identifiers (CustNo) or bracketed ([Length (cm)], "]]" escapes "]")
//   literals          'text' or "text" ('' / "" escape the quote), 12, 3.5, 1e3, TRUE, FALSE, NULL
//   comparison        =  <>  !=  <  <=  >  >=   (a trailing * in a string literal compared with = or <>
//                     means "begins with", unless NoPartialCompare)
//   logic             AND  OR  NOT, parentheses, a bare Boolean field as a predicate
//   null tests        IS NULL, IS NOT NULL, = NULL, <> NULL
//   arithmetic        + - * / and unary -, + also concatenates strings
//   others            x [NOT] LIKE 'pat%_', x [NOT] IN (a, b, ...)
//   functions         UPPER LOWER TRIM TRIMLEFT TRIMRIGHT SUBSTRING(s, start[, len])
//                     YEAR MONTH DAY HOUR MINUTE SECOND DATE TIME
//
// Null rules: any comparison involving a null value is false (also <>), arithmetic and functions on
// null give null, a null Boolean field is false as a predicate.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/data/db_errors.h"
#include "platform/data/db_types.h"

namespace qel {

enum class TFilterValueKind { Null, Integer, Float, String, Boolean, DateTime };

// One value seen by the filter. DateTime is a count of days since 1899-12-30 (fraction = time of day).
struct TFilterValue {
    TFilterValueKind Kind = TFilterValueKind::Null;
    std::int64_t AsInteger = 0; // Integer
    double AsFloat = 0;         // Float and DateTime
    std::string AsString;       // String
    bool AsBoolean = false;     // Boolean

    static TFilterValue Null() { return {}; }
    static TFilterValue Integer(std::int64_t v);
    static TFilterValue Float(double v);
    static TFilterValue String(std::string v);
    static TFilterValue Boolean(bool v);
    static TFilterValue DateTime(double days);
    bool IsNull() const noexcept { return Kind == TFilterValueKind::Null; }
    bool operator==(const TFilterValue& other) const;
};

// What the compiler learns about a field name: the index the record reader takes and its kind.
struct TFilterFieldInfo {
    int Index = -1;
    TFilterValueKind Kind = TFilterValueKind::String;
};

// Looks a field name up (the name as written, without brackets); nullopt = no such field.
using TFilterFieldResolver = std::function<std::optional<TFilterFieldInfo>(std::string_view name)>;

// The record under test: the value of field `index` (as resolved) of the candidate row.
class TFilterRecord {
public:
    virtual ~TFilterRecord();
    virtual TFilterValue FieldValue(int index) const = 0;
};

// How a filter text is compiled. (TFilterOptions, the dataset's option set, converts to it.)
struct TFilterCompileOptions {
    bool CaseInsensitive = false;  // string comparisons ignore case
    bool NoPartialCompare = false; // a trailing * is an ordinary character
    // Converts a quoted date/time literal compared with a DateTime value into days; when empty or
    // when it answers nullopt the ISO forms (yyyy-mm-dd[ hh:mm[:ss[.zzz]]], hh:mm[:ss]) and
    // mm/dd/yyyy[ hh:mm[:ss]] are tried.
    std::function<std::optional<double>(std::string_view text)> ParseDateTime;

    static TFilterCompileOptions From(TFilterOptions options) {
        TFilterCompileOptions o;
        o.CaseInsensitive = options.Contains(foCaseInsensitive);
        o.NoPartialCompare = options.Contains(foNoPartialCompare);
        return o;
    }
};

// A malformed filter text. Position() is the 1-based character position of the fault in the text.
class EFilterError : public EDatabaseError {
public:
    EFilterError(int position, const std::string& reason);
    int Position() const noexcept { return FPosition; }
    const std::string& Reason() const noexcept { return FReason; }
    const char* ClassName() const noexcept override { return "EFilterError"; }

private:
    int FPosition;
    std::string FReason;
};

enum class TFilterNodeKind {
    Constant,     // Value
    Field,        // FieldIndex, FieldName
    And,          // Args (two or more)
    Or,           // Args (two or more)
    Not,          // Args[0]
    Negate,       // Args[0]
    Add,          // Args[0] + Args[1] (numbers, strings: concatenation, DateTime + days)
    Subtract,     // Args[0] - Args[1]
    Multiply,     // Args[0] * Args[1]
    Divide,       // Args[0] / Args[1] (always Float; division by zero gives null)
    Equal,        // Args[0] = Args[1]; Partial: Args[1] is the prefix (the * removed)
    NotEqual,     // Args[0] <> Args[1]; Partial as for Equal
    Less,         // Args[0] < Args[1]
    LessEqual,    // Args[0] <= Args[1]
    Greater,      // Args[0] > Args[1]
    GreaterEqual, // Args[0] >= Args[1]
    IsNull,       // Args[0] IS NULL
    IsNotNull,    // Args[0] IS NOT NULL
    Like,         // Args[0] LIKE Args[1]
    In,           // Args[0] IN (Args[1] ...)
    Function,     // Function(Args...)
    BoolTest,     // Args[0] is a Boolean value used as a predicate (null = false)
};

enum class TFilterFunction {
    None,
    Upper,
    Lower,
    Trim,
    TrimLeft,
    TrimRight,
    Substring,
    Year,
    Month,
    Day,
    Hour,
    Minute,
    Second,
    Date,
    Time
};

struct TFilterNode {
    TFilterNodeKind Kind = TFilterNodeKind::Constant;
    TFilterValueKind Type = TFilterValueKind::Null; // static result type (Boolean for predicates)
    TFilterValue Value;                             // Constant
    int FieldIndex = -1;                            // Field
    std::string FieldName; // Field: the name as written; Float constant: the number as written
    TFilterFunction Function = TFilterFunction::None;
    bool Partial = false;         // Equal/NotEqual: prefix comparison
    bool CaseInsensitive = false; // string comparison, LIKE and IN ignore case
    bool Negated = false;         // NOT LIKE, NOT IN
    int Position = 0;             // 1-based character position in the text
    std::vector<std::unique_ptr<TFilterNode>> Args;
};

class TFilterExpr {
public:
    TFilterExpr(std::string text, TFilterCompileOptions options, std::unique_ptr<TFilterNode> root);
    ~TFilterExpr();
    TFilterExpr(const TFilterExpr&) = delete;
    TFilterExpr& operator=(const TFilterExpr&) = delete;

    // True when the record passes the filter. Never throws for any record values; the expression is
    // not changed, so several threads may evaluate it at once.
    bool Evaluate(const TFilterRecord& record) const;
    const TFilterNode& Root() const noexcept { return *FRoot; }
    // The distinct field indexes the expression reads, ascending.
    std::vector<int> FieldsUsed() const;
    const std::string& Text() const noexcept { return FText; }
    const TFilterCompileOptions& Options() const noexcept { return FOptions; }

private:
    std::string FText;
    TFilterCompileOptions FOptions;
    std::unique_ptr<TFilterNode> FRoot;
};

// Compiles `text`; raises EFilterError for a malformed text, an unknown field, a type mismatch or
// nesting deeper than the compiler allows. An empty (or blank) text is an error as well.
std::unique_ptr<TFilterExpr> CompileFilter(std::string_view text, const TFilterFieldResolver& resolver,
                                           const TFilterCompileOptions& options = {});
inline std::unique_ptr<TFilterExpr> CompileFilter(std::string_view text, const TFilterFieldResolver& resolver,
                                                  TFilterOptions options) {
    return CompileFilter(text, resolver, TFilterCompileOptions::From(options));
}

// The SQL column name of a resolved field index (unquoted); nullopt = the field has no column.
using TFilterColumnMapper = std::function<std::optional<std::string>(int fieldIndex)>;

// Translates the expression into an SQLite boolean expression (for a WHERE clause) that selects
// exactly the rows Evaluate accepts, when the column values are stored in the SQLite type matching
// their field kind (Boolean as 0/1) and text values are valid UTF-8 without NUL characters. Literals become
// `?` parameters appended to boundParams in order (Boolean literals as Integer 0/1); identifiers are quoted.
// Returns nullopt, and leaves boundParams as it was, for trees that have no exact translation (DateTime
// values, case-folding functions, case-insensitive comparisons of non-ASCII text, ...): those are evaluated
// in C++.
std::optional<std::string> FilterExprToSQL(const TFilterExpr& expr, const TFilterColumnMapper& columns,
                                           std::vector<TFilterValue>& boundParams);

// Quotes an SQL identifier ("a""b").
std::string QuoteSQLIdentifier(std::string_view name);

} // namespace qel
