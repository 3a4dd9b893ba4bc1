#pragma once
// Sessions of the database engine: alias tables, the databases opened through them, table names,
// and the engine's own status (version, system, client and configuration blocks, user name).
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/strings.h"
#include "platform/data/dataset.h"

namespace qel {

class TDatabase;

// One alias: a name for a database file (or a folder holding one), with its driver.
struct TEngineAlias {
    std::string Name;
    std::string Path;
    std::string Driver = "STANDARD";
};

class TSession : public TComponent {
    QEL_CLASS(TSession, TComponent)
    explicit TSession(TComponent* owner);
    ~TSession() override;

    const std::string& GetSessionName() const { return FSessionName; }
    // EComponentError-like EDatabaseError when another session already has the name.
    void SetSessionName(const std::string& name);
    bool GetKeepConnections() const { return FKeepConnections; }
    void SetKeepConnections(bool v) { FKeepConnections = v; }
    const std::string& GetNetFileDir() const { return FNetFileDir; }
    void SetNetFileDir(const std::string& v) { FNetFileDir = v; }
    const std::string& GetPrivateDir() const { return FPrivateDir; }
    void SetPrivateDir(const std::string& v) { FPrivateDir = v; }
    bool GetActive() const { return FActive; }
    void SetActive(bool v) { FActive = v; }

    // ---- aliases (shared by every session, as the engine's configuration is)
    void AddAlias(const std::string& name, const std::string& driver, TStrings* params);
    void AddStandardAlias(const std::string& name, const std::string& path,
                          const std::string& defaultDriver = {});
    void AddAlias(const std::string& name, const std::string& path) { AddStandardAlias(name, path); }
    void DeleteAlias(const std::string& name);
    bool IsAlias(const std::string& name) const;
    // Writes the alias table to the configuration file.
    void SaveConfigFile();
    void GetAliasNames(TStrings* list) const;
    void GetAliasParams(const std::string& alias, TStrings* list) const; // "PATH=..." lines
    std::string GetAliasDriverName(const std::string& alias) const;
    void GetDriverNames(TStrings* list) const;
    void GetDriverParams(const std::string& driver, TStrings* list) const;

    // ---- databases
    int DatabaseCount() const { return static_cast<int>(FDatabases.size()); }
    TDatabase* Databases(int index) const;
    void GetDatabaseNames(TStrings* list) const; // aliases and open databases, sorted, no duplicates
    // The database registered under `name` (case-insensitive), nullptr when none.
    TDatabase* FindDatabase(const std::string& name) const;
    // The named database, creating a temporary one for an alias or a file path; connects it.
    TDatabase* OpenDatabase(const std::string& name);
    // Releases a temporary database once no dataset uses it (unless KeepConnections).
    void CloseDatabase(TDatabase* database);
    void Close();
    // Table names of a database: `pattern` with * and ? wildcards ("" = all); extensions adds ".db".
    void GetTableNames(const std::string& databaseName, const std::string& pattern, bool extensions,
                       bool systemTables, TStrings* list);
    // This engine has no stored procedures: the list stays empty.
    void GetStoredProcNames(const std::string& databaseName, TStrings* list);

    // Resolves a database name (alias, database component or path) to a database file.
    std::string ResolveDatabaseFile(const std::string& name, const std::string& driver = {},
                                    TStrings* params = nullptr) const;

    // Used by TDatabase.
    void RegisterDatabase(TDatabase* db);
    void UnregisterDatabase(TDatabase* db);

private:
    std::string FSessionName;
    bool FKeepConnections = true;
    bool FActive = true;
    std::string FNetFileDir, FPrivateDir;
    std::vector<TDatabase*> FDatabases;
    std::vector<std::unique_ptr<TDatabase>> FTemporary;
};

// The list of all sessions of the process.
class TSessionList {
public:
    int Count() const { return static_cast<int>(FList.size()); }
    TSession* Items(int index) const;
    TSession* FindSession(const std::string& name) const; // "" finds the default session
    // The named session, created (owned by the list) when it does not exist yet.
    TSession* OpenSession(const std::string& name);
    void GetSessionNames(TStrings* list) const;
    TSession* CurrentSession() const;
    void SetCurrentSession(TSession* s) { FCurrent = s; }
    // Used by TSession.
    void Add(TSession* s);
    void Remove(TSession* s);

private:
    std::vector<TSession*> FList;
    std::vector<std::unique_ptr<TSession>> FOwned;
    TSession* FCurrent = nullptr;
};

TSessionList& Sessions();
// The default session ("Default"), created on first use.
TSession* DefaultSession();
// The current session (the default one unless a program changed it).
TSession* Session();

// ---- engine status -------------------------------------------------------------------------------

struct TEngineSysInfo {
    int64_t BufferSpace = 0; // KB of page cache
    int64_t HeapSpace = 0;   // KB of engine memory in use
    int Drivers = 0, Clients = 0, Sessions = 0, Databases = 0, Cursors = 0;
};
struct TEngineClientInfo {
    std::string Name;
    int Sessions = 0;
    std::string WorkDir, Lang;
};
struct TEngineConfigInfo {
    bool LocalShare = false;
    std::string NetProtocol;
    bool NetShare = false;
    std::string NetType, UserName, IniFile, LangDriver;
};
struct TEngineVersion {
    int EngineVersion = 0; // e.g. 3045001 for 3.45.1; 0 when no engine is present
    int IntfLevel = 0;
    TDateTime Date = 0, Time = 0; // build date and time of the engine
};

// Each returns 0 or an engine error code.
int EngineGetSysInfo(TEngineSysInfo& info);
int EngineGetClientInfo(TEngineClientInfo& info);
int EngineGetConfigInfo(TEngineConfigInfo& info);
int EngineGetSysVersion(TEngineVersion& info);
// The login name of the user; 0 or an error code (the name is then empty).
int EngineGetUserName(std::string& name);
// The engine's system version (0 = no engine). The program calls it at start to check the engine.
int EngineSystemVersion();

// Test hooks: replace the version query, make the status queries fail with a code (0: normal).
void SetEngineVersionHook(std::function<int()> hook);
void SetEngineStatusFailure(int code);
// The alias configuration file ($QEL_ALIASES, else ~/.config/qel/aliases.cfg); a test may point it
// elsewhere. Setting it reloads the alias table.
std::string EngineConfigFile();
void SetEngineConfigFile(const std::string& path);
// Number of open engine cursors (open engine datasets).
int EngineCursorCount();
void EngineCursorOpened();
void EngineCursorClosed();

} // namespace qel
