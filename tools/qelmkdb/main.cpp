// qelmkdb: builds the demonstration database.
//   qelmkdb <data folder> <output file>
#include <cstdio>
#include <exception>

#include "dbgen.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: qelmkdb <data folder> <output file>\n");
        return 2;
    }
    try {
        const auto summary = qelmkdb::GenerateDemoDatabase(argv[1], argv[2]);
        for (const auto& [table, rows] : summary.RowCounts)
            std::printf("  %-10s %6lld rows\n", table.c_str(), rows);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qelmkdb: error: %s\n", e.what());
        return 1;
    }
}
