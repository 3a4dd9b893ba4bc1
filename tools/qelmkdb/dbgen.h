#pragma once
// Creates the demonstration database (one SQLite file) from the definitions and seed lists in the
// data folder, adding generated orders, order items, stock figures and marine-life pictures.
#include <map>
#include <string>

namespace qelmkdb {

constexpr int kPictureWidth = 320;
constexpr int kPictureHeight = 200;

struct TDemoDbSummary {
    std::map<std::string, long long> RowCounts; // table name -> rows
};

// Builds the file in `outFile` (replacing it only when everything succeeded). Deterministic: the
// same inputs give the same database. Raises TInputError for bad input files and
// std::runtime_error for database failures.
TDemoDbSummary GenerateDemoDatabase(const std::string& dataDir, const std::string& outFile);

} // namespace qelmkdb
