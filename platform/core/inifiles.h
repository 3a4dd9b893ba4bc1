#pragma once
// Ini files: sections of "key=value" lines, names matched case-insensitively. TMemIniFile keeps the
// file in memory until UpdateFile; TIniFile writes every change through at once. Lines that cannot be
// parsed (text before the first section, lines without "=", a "[" without "]") are ignored when
// reading and kept unchanged when writing, as are comments (";" lines) and blank lines. Files are
// replaced atomically (a temporary file, flushed, then renamed), so a crash never loses the file.
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/strings.h"

namespace qel {

class TCustomIniFile : public TObject {
    QEL_CLASS(TCustomIniFile, TObject)
    explicit TCustomIniFile(std::string fileName);
    ~TCustomIniFile() override = default;
    const std::string& FileName() const { return FFileName; }

    std::string ReadString(std::string_view section, std::string_view ident, std::string_view def) const;
    virtual void WriteString(std::string_view section, std::string_view ident, std::string_view value);
    // Decimal or hex ("$FF", "0x1F") integers; `def` when missing or malformed.
    int ReadInteger(std::string_view section, std::string_view ident, int def) const;
    void WriteInteger(std::string_view section, std::string_view ident, int value);
    // Any non-zero integer is true; written as "1" or "0".
    bool ReadBool(std::string_view section, std::string_view ident, bool def) const;
    void WriteBool(std::string_view section, std::string_view ident, bool value);
    double ReadFloat(std::string_view section, std::string_view ident, double def) const;
    void WriteFloat(std::string_view section, std::string_view ident, double value);

    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view ident) const;
    // The keys of a section, the section names, and a section's "key=value" lines.
    void ReadSection(std::string_view section, TStrings* strings) const;
    void ReadSections(TStrings* strings) const;
    void ReadSectionValues(std::string_view section, TStrings* strings) const;
    virtual void EraseSection(std::string_view section);
    virtual void DeleteKey(std::string_view section, std::string_view ident);
    // Writes the contents to the file (atomically).
    virtual void UpdateFile();

    // The whole contents as lines / from lines.
    void GetStrings(TStrings* strings) const;
    void SetStrings(const TStrings* strings);
    void Clear();

protected:
    void LoadFromFile();
    void Parse(std::string_view text);
    std::string Render() const;

private:
    struct Line {
        bool Pair = false;
        std::string Key, Value, Raw;
    };
    struct Section {
        std::string Name;
        std::string Header; // the raw "[Name]" line as read
        std::vector<Line> Lines;
    };
    Section* FindSection(std::string_view name);
    const Section* FindSection(std::string_view name) const;
    const Line* FindKey(const Section* s, std::string_view key) const;

    std::string FFileName;
    std::vector<std::string> FPreamble; // lines before the first section
    std::vector<Section> FSections;
    bool FBom = false;
};

class TMemIniFile : public TCustomIniFile {
    QEL_CLASS(TMemIniFile, TCustomIniFile)
    // Reads the file if it exists (a missing file is an empty ini).
    explicit TMemIniFile(std::string fileName);
};

class TIniFile : public TCustomIniFile {
    QEL_CLASS(TIniFile, TCustomIniFile)
    explicit TIniFile(std::string fileName);
    void WriteString(std::string_view section, std::string_view ident, std::string_view value) override;
    void EraseSection(std::string_view section) override;
    void DeleteKey(std::string_view section, std::string_view ident) override;
};

// Writes `data` to `fileName` through a temporary file in the same folder, flushed before it replaces
// the old file. EFCreateError when that fails.
void WriteFileAtomically(const std::string& fileName, std::string_view data);

} // namespace qel
