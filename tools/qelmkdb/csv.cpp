#include "csv.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

namespace qelmkdb {

size_t TCsv::Column(const std::string& name) const {
    for (size_t i = 0; i < Header.size(); ++i)
        if (Header[i] == name) return i;
    throw TInputError(FileName + ": no column \"" + name + "\"");
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw TInputError(path + ": cannot open the file");
    std::ostringstream s;
    s << in.rdbuf();
    if (in.bad()) throw TInputError(path + ": read error");
    return s.str();
}

TCsv ParseCsv(const std::string& text, const std::string& fileName) {
    TCsv csv;
    csv.FileName = fileName;
    size_t i = 0;
    int line = 1;
    auto fail = [&](int at, const std::string& m) -> void {
        throw TInputError(fileName + ":" + std::to_string(at) + ": " + m);
    };
    while (i < text.size()) {
        const int startLine = line;
        // Comment and blank lines.
        if (text[i] == '#' || text[i] == '\n' || text[i] == '\r') {
            while (i < text.size() && text[i] != '\n') ++i;
            if (i < text.size()) ++i;
            ++line;
            continue;
        }
        std::vector<std::string> fields;
        std::string field;
        bool quotedField = false;
        for (;;) {
            if (i >= text.size() || text[i] == '\n' || (text[i] == '\r')) {
                fields.push_back(field);
                while (i < text.size() && text[i] == '\r') ++i;
                if (i < text.size() && text[i] == '\n') {
                    ++i;
                    ++line;
                }
                break;
            }
            const char c = text[i];
            if (c == ',') {
                fields.push_back(field);
                field.clear();
                quotedField = false;
                ++i;
                continue;
            }
            if (c == '"' && field.empty() && !quotedField) {
                quotedField = true;
                ++i;
                for (;;) {
                    if (i >= text.size()) fail(startLine, "unterminated quoted field");
                    if (text[i] == '"') {
                        if (i + 1 < text.size() && text[i + 1] == '"') {
                            field.push_back('"');
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    if (text[i] == '\n') ++line;
                    field.push_back(text[i++]);
                }
                if (i < text.size() && text[i] != ',' && text[i] != '\n' && text[i] != '\r')
                    fail(line, "text after a closing quote");
                continue;
            }
            if (quotedField) fail(line, "text after a closing quote");
            field.push_back(c);
            ++i;
        }
        if (csv.Header.empty()) {
            csv.Header = std::move(fields);
            continue;
        }
        if (fields.size() != csv.Header.size())
            fail(startLine, "expected " + std::to_string(csv.Header.size()) + " fields, found " +
                                std::to_string(fields.size()));
        csv.Rows.push_back(std::move(fields));
        csv.Lines.push_back(startLine);
    }
    if (csv.Header.empty()) throw TInputError(fileName + ": no header line");
    return csv;
}

TCsv ReadCsv(const std::string& path) {
    return ParseCsv(ReadFile(path), path);
}

std::vector<std::string> ReadList(const std::string& path) {
    std::istringstream in(ReadFile(path));
    std::vector<std::string> out;
    std::string line;
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        size_t b = 0;
        while (b < line.size() && (line[b] == ' ' || line[b] == '\t')) ++b;
        line.erase(0, b);
        if (line.empty() || line[0] == '#') continue;
        out.push_back(line);
    }
    if (out.empty()) throw TInputError(path + ": the list is empty");
    return out;
}

static std::string Where(const TCsv& csv, size_t row, size_t column) {
    return csv.FileName + ":" + std::to_string(csv.Lines[row]) + ": column \"" + csv.Header[column] + "\"";
}

long long ToInteger(const TCsv& csv, size_t row, size_t column) {
    const std::string& s = csv.Rows[row][column];
    long long v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || p != s.data() + s.size())
        throw TInputError(Where(csv, row, column) + ": \"" + s + "\" is not an integer");
    return v;
}

double ToFloat(const TCsv& csv, size_t row, size_t column) {
    const std::string& s = csv.Rows[row][column];
    double v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || p != s.data() + s.size() || !std::isfinite(v))
        throw TInputError(Where(csv, row, column) + ": \"" + s + "\" is not a number");
    return v;
}

unsigned ToColour(const TCsv& csv, size_t row, size_t column) {
    const std::string& s = csv.Rows[row][column];
    unsigned v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v, 16);
    if (s.size() != 6 || ec != std::errc() || p != s.data() + s.size())
        throw TInputError(Where(csv, row, column) + ": \"" + s + "\" is not an RRGGBB colour");
    return v;
}

} // namespace qelmkdb
