#pragma once
// A registry store with the platform's TRegistry interface, kept as plain files: one ini-style file
// per root key under the user's configuration folder ($XDG_CONFIG_HOME/qel, or ~/.config/qel;
// SetRegistryFolder overrides it, for tests). Key paths use backslashes and match case-insensitively;
// values are strings or integers. A damaged file never crashes: lines that cannot be read are skipped.
//
//   TRegistry reg;
//   reg.SetRootKey(HKEY_CURRENT_USER);
//   if (reg.OpenKey("Software\\QEL\\Demo", true)) reg.WriteInteger("Runs", reg.ValueExists("Runs") ?
//   reg.ReadInteger("Runs") + 1 : 1);
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/core/strings.h"

namespace qel {

using HKEY = uint32_t;
constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
constexpr HKEY HKEY_USERS = 0x80000003u;
constexpr HKEY HKEY_CURRENT_CONFIG = 0x80000005u;

enum TRegDataType { rdUnknown, rdString, rdInteger };

// The folder holding the registry files; "" restores the default.
void SetRegistryFolder(const std::string& folder);
std::string RegistryFolder();

class TMemIniFile;

class TRegistry : public TObject {
    QEL_CLASS(TRegistry, TObject)
    TRegistry();
    ~TRegistry() override;

    HKEY RootKey() const { return FRootKey; }
    void SetRootKey(HKEY key);
    // Opens a key relative to the current one (or absolute with a leading backslash); creates it
    // when `canCreate`. False when it does not exist.
    bool OpenKey(std::string_view key, bool canCreate);
    bool OpenKeyReadOnly(std::string_view key) { return OpenKey(key, false); }
    void CloseKey();
    const std::string& CurrentPath() const { return FCurrentPath; }
    bool KeyExists(std::string_view key) const;
    bool CreateKey(std::string_view key);
    // Deletes a key with its sub-keys and values.
    bool DeleteKey(std::string_view key);

    bool ValueExists(std::string_view name) const;
    bool DeleteValue(std::string_view name);
    TRegDataType GetDataType(std::string_view name) const;
    // "" when missing; ERegistryException ("Invalid data type for 'X'") for an integer value.
    std::string ReadString(std::string_view name) const;
    void WriteString(std::string_view name, std::string_view value);
    // ERegistryException ("Invalid data type for 'X'") when missing or not an integer.
    int ReadInteger(std::string_view name) const;
    void WriteInteger(std::string_view name, int value);
    bool ReadBool(std::string_view name) const { return ReadInteger(name) != 0; }
    void WriteBool(std::string_view name, bool value) { WriteInteger(name, value ? 1 : 0); }
    void GetKeyNames(TStrings* strings) const;
    void GetValueNames(TStrings* strings) const;

private:
    std::string Resolve(std::string_view key) const;
    void Load();
    void Save();
    void RequireOpen() const;
    HKEY FRootKey = HKEY_CURRENT_USER;
    std::string FCurrentPath;
    bool FOpen = false;
    std::unique_ptr<TMemIniFile> FStore;
};

} // namespace qel
