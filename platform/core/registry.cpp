#include "platform/core/registry.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "platform/core/format.h"
#include "platform/core/inifiles.h"
#include "platform/core/strutils.h"

namespace qel {

QEL_IMPLEMENT_CLASS(TRegistry)

namespace {
std::mutex gFolderLock;
std::string gFolder;

std::string RootFileName(HKEY key) {
    switch (key) {
    case HKEY_CLASSES_ROOT: return "HKEY_CLASSES_ROOT.reg";
    case HKEY_CURRENT_USER: return "HKEY_CURRENT_USER.reg";
    case HKEY_LOCAL_MACHINE: return "HKEY_LOCAL_MACHINE.reg";
    case HKEY_USERS: return "HKEY_USERS.reg";
    case HKEY_CURRENT_CONFIG: return "HKEY_CURRENT_CONFIG.reg";
    default: throw ERegistryException("Invalid registry root key");
    }
}

// Normalises "a\\b\\" to "a\b" (no leading, trailing or doubled separators).
std::string Normalise(std::string_view path) {
    std::string out;
    for (char c : path) {
        if (c == '\\' || c == '/') {
            if (!out.empty() && out.back() != '\\') out += '\\';
        } else {
            out += c;
        }
    }
    while (!out.empty() && out.back() == '\\') out.pop_back();
    return out;
}

bool IsUnder(std::string_view path, std::string_view key) {
    if (key.empty()) return true;
    return SameText(path, key) || (path.size() > key.size() && path[key.size()] == '\\' &&
                                   SameText(path.substr(0, key.size()), key));
}

// Value names are stored as "s:Name" (string) or "i:Name" (integer); the default value is "@".
// The ini section of a key path; the root's own values live in "[\\]".
std::string SectionOf(const std::string& path) {
    return path.empty() ? std::string("\\") : path;
}

std::string Stored(char type, std::string_view name) {
    std::string s(1, type);
    s += ':';
    if (name.empty())
        s += '@';
    else
        s.append(name);
    return s;
}
} // namespace

void SetRegistryFolder(const std::string& folder) {
    std::lock_guard g(gFolderLock);
    gFolder = folder;
}

std::string RegistryFolder() {
    std::lock_guard g(gFolderLock);
    if (!gFolder.empty()) return gFolder;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) return std::string(x) + "/qel";
    if (const char* h = std::getenv("HOME"); h && *h) return std::string(h) + "/.config/qel";
    return "/tmp/qel";
}

TRegistry::TRegistry() = default;
TRegistry::~TRegistry() = default;

void TRegistry::SetRootKey(HKEY key) {
    RootFileName(key); // validates
    CloseKey();
    FRootKey = key;
}

void TRegistry::Load() {
    std::filesystem::path dir(RegistryFolder());
    FStore = std::make_unique<TMemIniFile>((dir / RootFileName(FRootKey)).string());
}

void TRegistry::Save() {
    std::error_code ec;
    std::filesystem::create_directories(RegistryFolder(), ec);
    if (ec) throw ERegistryException("Failed to set data: cannot create \"" + RegistryFolder() + "\"");
    FStore->UpdateFile();
}

std::string TRegistry::Resolve(std::string_view key) const {
    if (!key.empty() && (key[0] == '\\' || key[0] == '/')) return Normalise(key);
    std::string rel = Normalise(key);
    if (FCurrentPath.empty()) return rel;
    return rel.empty() ? FCurrentPath : FCurrentPath + "\\" + rel;
}

bool TRegistry::KeyExists(std::string_view key) const {
    std::string path = Resolve(key);
    if (path.empty()) return true;
    TMemIniFile store((std::filesystem::path(RegistryFolder()) / RootFileName(FRootKey)).string());
    TStringList sections;
    store.ReadSections(&sections);
    for (int i = 0; i < sections.Count(); ++i)
        if (IsUnder(sections[i], path)) return true;
    return false;
}

bool TRegistry::OpenKey(std::string_view key, bool canCreate) {
    std::string path = Resolve(key);
    Load();
    bool exists = path.empty() || KeyExists("\\" + path);
    if (!exists) {
        if (!canCreate) return false;
        // An empty section marks the key.
        FStore->WriteString(path, "k:@", "");
        FStore->DeleteKey(path, "k:@");
        Save();
    }
    FCurrentPath = path;
    FOpen = true;
    return true;
}

bool TRegistry::CreateKey(std::string_view key) {
    std::string save = FCurrentPath;
    bool open = FOpen;
    bool ok = OpenKey(key, true);
    FCurrentPath = save;
    FOpen = open;
    if (open) Load();
    return ok;
}

void TRegistry::CloseKey() {
    FCurrentPath.clear();
    FOpen = false;
    FStore.reset();
}

bool TRegistry::DeleteKey(std::string_view key) {
    std::string path = Resolve(key);
    if (path.empty()) return false;
    TMemIniFile store((std::filesystem::path(RegistryFolder()) / RootFileName(FRootKey)).string());
    TStringList sections;
    store.ReadSections(&sections);
    bool found = false;
    for (int i = 0; i < sections.Count(); ++i)
        if (IsUnder(sections[i], path)) {
            store.EraseSection(sections[i]);
            found = true;
        }
    if (found) {
        std::error_code ec;
        std::filesystem::create_directories(RegistryFolder(), ec);
        store.UpdateFile();
        if (FStore) Load();
    }
    return found;
}

void TRegistry::RequireOpen() const {
    if (!FOpen || !FStore) throw ERegistryException("No registry key is open");
}

TRegDataType TRegistry::GetDataType(std::string_view name) const {
    RequireOpen();
    if (FStore->ValueExists(SectionOf(FCurrentPath), Stored('s', name))) return rdString;
    if (FStore->ValueExists(SectionOf(FCurrentPath), Stored('i', name))) return rdInteger;
    return rdUnknown;
}

bool TRegistry::ValueExists(std::string_view name) const {
    return GetDataType(name) != rdUnknown;
}

bool TRegistry::DeleteValue(std::string_view name) {
    if (!ValueExists(name)) return false;
    FStore->DeleteKey(SectionOf(FCurrentPath), Stored('s', name));
    FStore->DeleteKey(SectionOf(FCurrentPath), Stored('i', name));
    Save();
    return true;
}

std::string TRegistry::ReadString(std::string_view name) const {
    TRegDataType t = GetDataType(name);
    if (t == rdUnknown) return {};
    if (t != rdString) throw ERegistryException("Invalid data type for '" + std::string(name) + "'");
    std::string v = FStore->ReadString(SectionOf(FCurrentPath), Stored('s', name), "");
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    return v;
}

void TRegistry::WriteString(std::string_view name, std::string_view value) {
    RequireOpen();
    if (value.find_first_of("\r\n") != std::string_view::npos)
        throw ERegistryException("Failed to set data for '" + std::string(name) + "'");
    FStore->DeleteKey(SectionOf(FCurrentPath), Stored('i', name));
    // Values keep their blanks: they are stored quoted.
    std::string quoted;
    quoted.reserve(value.size() + 2);
    quoted += '"';
    quoted.append(value);
    quoted += '"';
    FStore->WriteString(SectionOf(FCurrentPath), Stored('s', name), quoted);
    Save();
}

int TRegistry::ReadInteger(std::string_view name) const {
    if (GetDataType(name) != rdInteger)
        throw ERegistryException("Invalid data type for '" + std::string(name) + "'");
    int v;
    if (!TryStrToInt(FStore->ReadString(SectionOf(FCurrentPath), Stored('i', name), ""), v))
        throw ERegistryException("Invalid data type for '" + std::string(name) + "'");
    return v;
}

void TRegistry::WriteInteger(std::string_view name, int value) {
    RequireOpen();
    FStore->DeleteKey(SectionOf(FCurrentPath), Stored('s', name));
    FStore->WriteInteger(SectionOf(FCurrentPath), Stored('i', name), value);
    Save();
}

void TRegistry::GetKeyNames(TStrings* strings) const {
    RequireOpen();
    strings->BeginUpdate();
    strings->Clear();
    TStringList sections;
    FStore->ReadSections(&sections);
    for (int i = 0; i < sections.Count(); ++i) {
        std::string s = Normalise(sections[i]);
        if (!IsUnder(s, FCurrentPath) || SameText(s, FCurrentPath)) continue;
        std::string rest = FCurrentPath.empty() ? s : s.substr(FCurrentPath.size() + 1);
        std::string child = rest.substr(0, rest.find('\\'));
        if (strings->IndexOf(child) < 0) strings->Add(child);
    }
    strings->EndUpdate();
}

void TRegistry::GetValueNames(TStrings* strings) const {
    RequireOpen();
    TStringList keys;
    FStore->ReadSection(SectionOf(FCurrentPath), &keys);
    strings->BeginUpdate();
    strings->Clear();
    for (int i = 0; i < keys.Count(); ++i) {
        std::string k = keys[i];
        if (k.size() < 2 || k[1] != ':' || (k[0] != 's' && k[0] != 'i')) continue;
        std::string n = k.substr(2);
        strings->Add(n == "@" ? std::string() : n);
    }
    strings->EndUpdate();
}

} // namespace qel
