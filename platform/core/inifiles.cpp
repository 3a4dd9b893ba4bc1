#include "platform/core/inifiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/core/format.h"
#include "platform/core/streams.h"
#include "platform/core/strutils.h"

namespace qel {

QEL_IMPLEMENT_CLASS(TCustomIniFile)
QEL_IMPLEMENT_CLASS(TMemIniFile)
QEL_IMPLEMENT_CLASS(TIniFile)

void WriteFileAtomically(const std::string& fileName, std::string_view data) {
    std::string tmp = fileName + ".tmp" + std::to_string(::getpid());
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) throw EFCreateError("Cannot create file \"" + fileName + "\". " + std::strerror(errno));
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            int err = errno;
            ::close(fd);
            ::unlink(tmp.c_str());
            throw EFCreateError("Cannot create file \"" + fileName + "\". " + std::strerror(err));
        }
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        int err = errno;
        ::unlink(tmp.c_str());
        throw EFCreateError("Cannot create file \"" + fileName + "\". " + std::strerror(err));
    }
    if (::rename(tmp.c_str(), fileName.c_str()) != 0) {
        int err = errno;
        ::unlink(tmp.c_str());
        throw EFCreateError("Cannot create file \"" + fileName + "\". " + std::strerror(err));
    }
}

TCustomIniFile::TCustomIniFile(std::string fileName) : FFileName(std::move(fileName)) {}

void TCustomIniFile::LoadFromFile() {
    Clear();
    if (FFileName.empty()) return;
    struct stat st {};
    if (::stat(FFileName.c_str(), &st) != 0) return; // no file yet: empty
    TFileStream f(FFileName, fmOpenRead);
    Parse(f.ReadAll());
}

void TCustomIniFile::Clear() {
    FPreamble.clear();
    FSections.clear();
    FBom = false;
}

void TCustomIniFile::Parse(std::string_view text) {
    Clear();
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        FBom = true;
        text.remove_prefix(3);
    }
    Section* cur = nullptr;
    size_t i = 0;
    while (i < text.size()) {
        size_t j = text.find('\n', i);
        if (j == std::string_view::npos) j = text.size();
        std::string_view raw = text.substr(i, j - i);
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        i = j + 1;
        std::string t = Trim(raw);
        if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
            std::string name = Trim(std::string_view(t).substr(1, t.size() - 2));
            cur = FindSection(name);
            if (!cur) {
                FSections.push_back(Section{name, std::string(raw), {}});
                cur = &FSections.back();
            }
            continue;
        }
        Line line;
        line.Raw = std::string(raw);
        size_t eq = t.find('=');
        if (cur && !t.empty() && t[0] != ';' && eq != std::string::npos && eq > 0) {
            line.Pair = true;
            line.Key = Trim(std::string_view(t).substr(0, eq));
            line.Value = Trim(std::string_view(t).substr(eq + 1));
        }
        if (cur)
            cur->Lines.push_back(std::move(line));
        else
            FPreamble.push_back(std::move(line.Raw));
    }
}

std::string TCustomIniFile::Render() const {
    std::string out;
    if (FBom) out = "\xEF\xBB\xBF";
    for (const auto& l : FPreamble) out += l + "\n";
    for (const auto& s : FSections) {
        out += s.Header.empty() ? "[" + s.Name + "]" : s.Header;
        out += "\n";
        for (const auto& l : s.Lines) out += (l.Pair && l.Raw.empty() ? l.Key + "=" + l.Value : l.Raw) + "\n";
    }
    return out;
}

TCustomIniFile::Section* TCustomIniFile::FindSection(std::string_view name) {
    for (auto& s : FSections)
        if (SameText(s.Name, name)) return &s;
    return nullptr;
}

const TCustomIniFile::Section* TCustomIniFile::FindSection(std::string_view name) const {
    for (auto& s : FSections)
        if (SameText(s.Name, name)) return &s;
    return nullptr;
}

const TCustomIniFile::Line* TCustomIniFile::FindKey(const Section* s, std::string_view key) const {
    if (!s) return nullptr;
    for (auto& l : s->Lines)
        if (l.Pair && SameText(l.Key, key)) return &l;
    return nullptr;
}

std::string TCustomIniFile::ReadString(std::string_view section, std::string_view ident,
                                       std::string_view def) const {
    const Line* l = FindKey(FindSection(section), ident);
    return l ? l->Value : std::string(def);
}

void TCustomIniFile::WriteString(std::string_view section, std::string_view ident, std::string_view value) {
    std::string key = Trim(ident);
    std::string sec = Trim(section);
    if (key.empty() || key.find('=') != std::string::npos || sec.empty() ||
        sec.find_first_of("[]\r\n") != std::string::npos || key.find_first_of("\r\n") != std::string::npos)
        throw EIniFileException("Invalid section or key name for \"" + FFileName + "\"");
    std::string val = Trim(value);
    if (val.find_first_of("\r\n") != std::string::npos)
        throw EIniFileException("Line breaks cannot be stored in \"" + FFileName + "\"");
    Section* s = FindSection(sec);
    if (!s) {
        FSections.push_back(Section{sec, {}, {}});
        s = &FSections.back();
    }
    for (auto& l : s->Lines)
        if (l.Pair && SameText(l.Key, key)) {
            l.Value = val;
            l.Raw.clear();
            return;
        }
    // New keys go after the section's last pair (before trailing blank lines).
    size_t pos = s->Lines.size();
    while (pos > 0 && !s->Lines[pos - 1].Pair && Trim(s->Lines[pos - 1].Raw).empty()) --pos;
    Line l;
    l.Pair = true;
    l.Key = key;
    l.Value = val;
    s->Lines.insert(s->Lines.begin() + static_cast<ptrdiff_t>(pos), std::move(l));
}

int TCustomIniFile::ReadInteger(std::string_view section, std::string_view ident, int def) const {
    return StrToIntDef(ReadString(section, ident, ""), def);
}

void TCustomIniFile::WriteInteger(std::string_view section, std::string_view ident, int value) {
    WriteString(section, ident, std::to_string(value));
}

bool TCustomIniFile::ReadBool(std::string_view section, std::string_view ident, bool def) const {
    return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

void TCustomIniFile::WriteBool(std::string_view section, std::string_view ident, bool value) {
    WriteString(section, ident, value ? "1" : "0");
}

double TCustomIniFile::ReadFloat(std::string_view section, std::string_view ident, double def) const {
    double v;
    return TryStrToFloat(ReadString(section, ident, ""), v) ? v : def;
}

void TCustomIniFile::WriteFloat(std::string_view section, std::string_view ident, double value) {
    WriteString(section, ident, FloatToStr(value));
}

bool TCustomIniFile::SectionExists(std::string_view section) const {
    return FindSection(section) != nullptr;
}

bool TCustomIniFile::ValueExists(std::string_view section, std::string_view ident) const {
    return FindKey(FindSection(section), ident) != nullptr;
}

void TCustomIniFile::ReadSection(std::string_view section, TStrings* strings) const {
    strings->BeginUpdate();
    strings->Clear();
    if (const Section* s = FindSection(section))
        for (auto& l : s->Lines)
            if (l.Pair && strings->IndexOf(l.Key) < 0) strings->Add(l.Key);
    strings->EndUpdate();
}

void TCustomIniFile::ReadSections(TStrings* strings) const {
    strings->BeginUpdate();
    strings->Clear();
    for (auto& s : FSections) strings->Add(s.Name);
    strings->EndUpdate();
}

void TCustomIniFile::ReadSectionValues(std::string_view section, TStrings* strings) const {
    strings->BeginUpdate();
    strings->Clear();
    if (const Section* s = FindSection(section))
        for (auto& l : s->Lines)
            if (l.Pair) strings->Add(l.Key + "=" + l.Value);
    strings->EndUpdate();
}

void TCustomIniFile::EraseSection(std::string_view section) {
    std::erase_if(FSections, [&](const Section& s) { return SameText(s.Name, section); });
}

void TCustomIniFile::DeleteKey(std::string_view section, std::string_view ident) {
    if (Section* s = FindSection(section))
        std::erase_if(s->Lines, [&](const Line& l) { return l.Pair && SameText(l.Key, ident); });
}

void TCustomIniFile::UpdateFile() {
    if (FFileName.empty()) return;
    WriteFileAtomically(FFileName, Render());
}

void TCustomIniFile::GetStrings(TStrings* strings) const {
    strings->SetText(Render());
}

void TCustomIniFile::SetStrings(const TStrings* strings) {
    Parse(strings->GetText());
}

TMemIniFile::TMemIniFile(std::string fileName) : TCustomIniFile(std::move(fileName)) {
    LoadFromFile();
}

TIniFile::TIniFile(std::string fileName) : TCustomIniFile(std::move(fileName)) {
    LoadFromFile();
}

void TIniFile::WriteString(std::string_view section, std::string_view ident, std::string_view value) {
    TCustomIniFile::WriteString(section, ident, value);
    UpdateFile();
}

void TIniFile::EraseSection(std::string_view section) {
    TCustomIniFile::EraseSection(section);
    UpdateFile();
}

void TIniFile::DeleteKey(std::string_view section, std::string_view ident) {
    TCustomIniFile::DeleteKey(section, ident);
    UpdateFile();
}

} // namespace qel
