// Fuzzes the reader of the demonstration database's seed files: any text parses or raises
// TInputError, and the conversions never fail in any other way.
#include <cstdint>
#include <string>

#include "csv.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const qelmkdb::TCsv csv = qelmkdb::ParseCsv(text, "fuzz.csv");
        for (size_t r = 0; r < csv.Rows.size(); ++r) {
            if (csv.Rows[r].size() != csv.Header.size()) __builtin_trap();
            for (size_t c = 0; c < csv.Header.size(); ++c) {
                try {
                    (void)qelmkdb::ToInteger(csv, r, c);
                } catch (const qelmkdb::TInputError&) {
                }
                try {
                    (void)qelmkdb::ToFloat(csv, r, c);
                } catch (const qelmkdb::TInputError&) {
                }
                try {
                    (void)qelmkdb::ToColour(csv, r, c);
                } catch (const qelmkdb::TInputError&) {
                }
            }
        }
    } catch (const qelmkdb::TInputError&) {
    }
    return 0;
}
