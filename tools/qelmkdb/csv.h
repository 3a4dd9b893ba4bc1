#pragma once
// Reading the generator's input files: comma-separated tables with a header line, and plain lists.
// Lines starting with '#' are comments; blank lines are skipped.
#include <stdexcept>
#include <string>
#include <vector>

namespace qelmkdb {

// A malformed or missing input file; the message names the file and line.
class TInputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TCsv {
    std::string FileName;
    std::vector<std::string> Header;
    std::vector<std::vector<std::string>> Rows; // every row has Header.size() fields
    std::vector<int> Lines;                     // the line number of each row, for messages

    // The index of a header column; raises TInputError when it is missing.
    size_t Column(const std::string& name) const;
};

// Parses CSV text: fields separated by commas, optionally in double quotes ("" inside quotes is a
// quote; quoted fields may span lines).
TCsv ParseCsv(const std::string& text, const std::string& fileName);
TCsv ReadCsv(const std::string& path);
// One entry per non-blank, non-comment line, trimmed.
std::vector<std::string> ReadList(const std::string& path);
std::string ReadFile(const std::string& path);

// Strict conversions; raise TInputError naming the file, line and column.
long long ToInteger(const TCsv& csv, size_t row, size_t column);
double ToFloat(const TCsv& csv, size_t row, size_t column);
unsigned ToColour(const TCsv& csv, size_t row, size_t column); // RRGGBB

} // namespace qelmkdb
