#include "platform/engine/session.h"

#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <mutex>

#include "platform/core/strutils.h"
#include "platform/engine/database.h"

namespace qel {

namespace {

bool IsDirectory(const std::string& p) {
    struct stat st;
    return !p.empty() && stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
bool FileExists(const std::string& p) {
    struct stat st;
    return !p.empty() && stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}
std::string ExeDir() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    std::string p(buf, static_cast<size_t>(n));
    auto slash = p.rfind('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : p.substr(0, slash));
}

// The alias table of the engine's configuration, shared by all sessions.
struct TAliasTable {
    std::vector<TEngineAlias> Items;
    std::string ConfigFile;
    bool Loaded = false;

    static std::string DefaultConfigFile() {
        if (const char* e = std::getenv("QEL_ALIASES"); e && *e) return e;
        const char* home = std::getenv("HOME");
        return std::string(home && *home ? home : ".") + "/.config/qel/aliases.cfg";
    }
    static std::string DemoDatabase() {
        if (const char* e = std::getenv("QEL_DBDEMOS"); e && *e) return e;
        std::string dir = ExeDir();
        for (const std::string& c : {dir + "/data/dbdemos.db", dir + "/dbdemos.db",
                                     dir + "/../data/dbdemos.db", dir + "/../../data/dbdemos.db"})
            if (FileExists(c)) return c;
#ifdef QEL_DBDEMOS_DEFAULT
        return QEL_DBDEMOS_DEFAULT;
#else
        return dir + "/data/dbdemos.db";
#endif
    }
    void EnsureLoaded() {
        if (Loaded) return;
        Loaded = true;
        if (ConfigFile.empty()) ConfigFile = DefaultConfigFile();
        Items.clear();
        Items.push_back({"DBDEMOS", DemoDatabase(), "STANDARD"});
        std::ifstream in(ConfigFile);
        std::string line;
        while (std::getline(in, line)) {
            std::string t = Trim(line);
            if (t.empty() || t[0] == '#' || t[0] == ';') continue;
            auto eq = t.find('=');
            if (eq == std::string::npos || eq == 0) continue;
            TEngineAlias a;
            a.Name = Trim(t.substr(0, eq));
            std::string rest = Trim(t.substr(eq + 1));
            if (auto semi = rest.rfind(';'); semi != std::string::npos) {
                a.Driver = Trim(rest.substr(semi + 1));
                rest = Trim(rest.substr(0, semi));
                if (a.Driver.empty()) a.Driver = "STANDARD";
            }
            a.Path = rest;
            Set(a);
        }
    }
    TEngineAlias* Find(const std::string& name) {
        EnsureLoaded();
        for (auto& a : Items)
            if (SameText(a.Name, name)) return &a;
        return nullptr;
    }
    void Set(const TEngineAlias& a) {
        for (auto& x : Items)
            if (SameText(x.Name, a.Name)) {
                x = a;
                return;
            }
        Items.push_back(a);
    }
};

TAliasTable& Aliases() {
    static TAliasTable t;
    return t;
}

std::function<int()>& VersionHook() {
    static std::function<int()> h;
    return h;
}
int& StatusFailure() {
    static int code = 0;
    return code;
}
int& CursorCount() {
    static int n = 0;
    return n;
}

bool WildMatch(std::string_view pat, std::string_view s) {
    if (pat.empty()) return s.empty();
    if (pat[0] == '*') {
        for (size_t i = 0; i <= s.size(); ++i)
            if (WildMatch(pat.substr(1), s.substr(i))) return true;
        return false;
    }
    if (s.empty()) return false;
    char a = static_cast<char>(std::tolower(static_cast<unsigned char>(pat[0])));
    char b = static_cast<char>(std::tolower(static_cast<unsigned char>(s[0])));
    if (pat[0] != '?' && a != b) return false;
    return WildMatch(pat.substr(1), s.substr(1));
}

} // namespace

// ---- sessions ------------------------------------------------------------------------------------

TSession::TSession(TComponent* owner) : TComponent(owner) {
    Sessions().Add(this);
}

TSession::~TSession() {
    Destroying();
    Close();
    FTemporary.clear();
    for (TDatabase* db : std::vector<TDatabase*>(FDatabases)) UnregisterDatabase(db);
    Sessions().Remove(this);
}

void TSession::SetSessionName(const std::string& name) {
    if (name == FSessionName) return;
    if (!name.empty()) {
        TSession* other = Sessions().FindSession(name);
        if (other && other != this) DatabaseError("Duplicate session name '" + name + "'");
    }
    FSessionName = name;
}

void TSession::AddAlias(const std::string& name, const std::string& driver, TStrings* params) {
    std::string path;
    if (params) path = params->Values("PATH");
    TEngineAlias a{Trim(name), path, driver.empty() ? "STANDARD" : driver};
    if (a.Name.empty()) DatabaseError("Alias name missing");
    Aliases().EnsureLoaded();
    Aliases().Set(a);
}

void TSession::AddStandardAlias(const std::string& name, const std::string& path,
                                const std::string& defaultDriver) {
    if (Trim(name).empty()) DatabaseError("Alias name missing");
    Aliases().EnsureLoaded();
    Aliases().Set({Trim(name), path, defaultDriver.empty() ? "STANDARD" : defaultDriver});
}

void TSession::DeleteAlias(const std::string& name) {
    auto& items = Aliases().Items;
    Aliases().EnsureLoaded();
    items.erase(std::remove_if(items.begin(), items.end(),
                               [&](const TEngineAlias& a) { return SameText(a.Name, name); }),
                items.end());
}

bool TSession::IsAlias(const std::string& name) const {
    return Aliases().Find(name) != nullptr;
}

void TSession::SaveConfigFile() {
    auto& t = Aliases();
    t.EnsureLoaded();
    std::string file = t.ConfigFile;
    if (auto slash = file.rfind('/'); slash != std::string::npos) {
        std::string dir = file.substr(0, slash);
        // Create the folder chain.
        for (size_t p = 1; p <= dir.size(); ++p)
            if (p == dir.size() || dir[p] == '/') mkdir(dir.substr(0, p).c_str(), 0755);
    }
    std::ofstream out(file, std::ios::trunc);
    if (!out) DatabaseError("Cannot write the engine configuration file '" + file + "'");
    out << "# QEL database engine aliases: NAME=path[;driver]\n";
    for (auto& a : t.Items) out << a.Name << '=' << a.Path << ';' << a.Driver << '\n';
}

void TSession::GetAliasNames(TStrings* list) const {
    if (!list) return;
    list->Clear();
    Aliases().EnsureLoaded();
    std::vector<std::string> names;
    for (auto& a : Aliases().Items) names.push_back(a.Name);
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return CompareText(a, b) < 0; });
    for (auto& n : names) list->Add(n);
}

void TSession::GetAliasParams(const std::string& alias, TStrings* list) const {
    if (!list) return;
    list->Clear();
    TEngineAlias* a = Aliases().Find(alias);
    if (!a) DatabaseError("Unknown database alias: " + alias);
    list->Add("PATH=" + a->Path);
}

std::string TSession::GetAliasDriverName(const std::string& alias) const {
    TEngineAlias* a = Aliases().Find(alias);
    if (!a) DatabaseError("Unknown database alias: " + alias);
    return a->Driver;
}

void TSession::GetDriverNames(TStrings* list) const {
    if (!list) return;
    list->Clear();
    list->Add("STANDARD");
}

void TSession::GetDriverParams(const std::string& driver, TStrings* list) const {
    if (!list) return;
    list->Clear();
    if (!SameText(driver, "STANDARD")) DatabaseError("Unknown driver: " + driver);
    list->Add("PATH=");
}

TDatabase* TSession::Databases(int index) const {
    if (index < 0 || index >= DatabaseCount())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return FDatabases[static_cast<size_t>(index)];
}

void TSession::GetDatabaseNames(TStrings* list) const {
    if (!list) return;
    std::vector<std::string> names;
    Aliases().EnsureLoaded();
    for (auto& a : Aliases().Items) names.push_back(a.Name);
    for (TDatabase* db : FDatabases)
        if (!db->GetDatabaseName().empty()) names.push_back(db->GetDatabaseName());
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return CompareText(a, b) < 0; });
    names.erase(std::unique(names.begin(), names.end(),
                            [](const std::string& a, const std::string& b) { return SameText(a, b); }),
                names.end());
    list->Clear();
    for (auto& n : names) list->Add(n);
}

TDatabase* TSession::FindDatabase(const std::string& name) const {
    if (name.empty()) return nullptr;
    for (TDatabase* db : FDatabases)
        if (SameText(db->GetDatabaseName(), name)) return db;
    return nullptr;
}

TDatabase* TSession::OpenDatabase(const std::string& name) {
    if (Trim(name).empty()) DatabaseError("Database name missing");
    TDatabase* db = FindDatabase(name);
    if (!db) {
        auto tmp = std::make_unique<TDatabase>(nullptr);
        tmp->SetSessionName(FSessionName);
        tmp->SetTemporary(true);
        tmp->SetDatabaseName(name);
        db = tmp.get();
        FTemporary.push_back(std::move(tmp));
        if (FindDatabase(name) != db) RegisterDatabase(db);
    }
    db->Open();
    return db;
}

void TSession::CloseDatabase(TDatabase* database) {
    if (!database || !database->Temporary() || database->DataSetCount() > 0) return;
    if (FKeepConnections && database->GetKeepConnection()) return;
    database->Close();
}

void TSession::Close() {
    for (TDatabase* db : std::vector<TDatabase*>(FDatabases)) {
        try {
            db->Close();
        } catch (...) {
        }
    }
}

std::string TSession::ResolveDatabaseFile(const std::string& name, const std::string& driver,
                                          TStrings* params) const {
    std::string path;
    if (params) {
        for (int i = 0; i < params->Count(); ++i) {
            std::string line = params->Get(i);
            if (line.size() >= 5 && SameText(line.substr(0, 5), "PATH=")) path = Trim(line.substr(5));
        }
    }
    if (path.empty()) {
        if (TEngineAlias* a = Aliases().Find(name))
            path = a->Path;
        else
            path = name;
    }
    if (path.empty()) DatabaseError("Database name missing");
    if (IsDirectory(path)) {
        std::string dir = path.back() == '/' ? path.substr(0, path.size() - 1) : path;
        for (const std::string& c : {dir + "/dbdemos.db", dir + "/data/dbdemos.db", dir + "/local.db"})
            if (FileExists(c)) return c;
        return dir + "/local.db";
    }
    return path;
}

void TSession::GetTableNames(const std::string& databaseName, const std::string& pattern, bool extensions,
                             bool systemTables, TStrings* list) {
    if (!list) return;
    list->Clear();
    TDatabase* db = OpenDatabase(databaseName);
    for (const std::string& t : db->TableNames(systemTables)) {
        std::string n = extensions ? t + ".db" : t;
        if (pattern.empty() || pattern == "*" || WildMatch(pattern, n) || WildMatch(pattern, t)) list->Add(n);
    }
    CloseDatabase(db);
}

void TSession::GetStoredProcNames(const std::string&, TStrings* list) {
    if (list) list->Clear();
}

void TSession::RegisterDatabase(TDatabase* db) {
    if (std::find(FDatabases.begin(), FDatabases.end(), db) == FDatabases.end()) FDatabases.push_back(db);
}

void TSession::UnregisterDatabase(TDatabase* db) {
    FDatabases.erase(std::remove(FDatabases.begin(), FDatabases.end(), db), FDatabases.end());
}

// ---- session list --------------------------------------------------------------------------------

TSession* TSessionList::Items(int index) const {
    if (index < 0 || index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return FList[static_cast<size_t>(index)];
}

TSession* TSessionList::FindSession(const std::string& name) const {
    if (name.empty() || SameText(name, "Default")) {
        for (TSession* s : FList)
            if (SameText(s->GetSessionName(), "Default")) return s;
        return nullptr;
    }
    for (TSession* s : FList)
        if (SameText(s->GetSessionName(), name)) return s;
    return nullptr;
}

TSession* TSessionList::OpenSession(const std::string& name) {
    if (name.empty() || SameText(name, "Default")) return DefaultSession();
    if (TSession* s = FindSession(name)) return s;
    auto s = std::make_unique<TSession>(nullptr);
    s->SetSessionName(name);
    TSession* p = s.get();
    FOwned.push_back(std::move(s));
    return p;
}

void TSessionList::GetSessionNames(TStrings* list) const {
    if (!list) return;
    list->Clear();
    for (TSession* s : FList) list->Add(s->GetSessionName());
}

TSession* TSessionList::CurrentSession() const {
    return FCurrent ? FCurrent : DefaultSession();
}

void TSessionList::Add(TSession* s) {
    FList.push_back(s);
}

void TSessionList::Remove(TSession* s) {
    FList.erase(std::remove(FList.begin(), FList.end(), s), FList.end());
    if (FCurrent == s) FCurrent = nullptr;
}

TSessionList& Sessions() {
    static TSessionList list;
    return list;
}

TSession* DefaultSession() {
    static TSession* s = [] {
        auto* session = new TSession(nullptr); // lives for the whole program
        session->SetSessionName("Default");
        return session;
    }();
    return s;
}

TSession* Session() {
    return Sessions().CurrentSession();
}

// ---- engine status -------------------------------------------------------------------------------

void SetEngineVersionHook(std::function<int()> hook) {
    VersionHook() = std::move(hook);
}
void SetEngineStatusFailure(int code) {
    StatusFailure() = code;
}

int EngineSystemVersion() {
    if (VersionHook()) return VersionHook()();
    return sqlite3_libversion_number();
}

int EngineCursorCount() {
    return CursorCount();
}
void EngineCursorOpened() {
    ++CursorCount();
}
void EngineCursorClosed() {
    if (CursorCount() > 0) --CursorCount();
}

std::string EngineConfigFile() {
    Aliases().EnsureLoaded();
    return Aliases().ConfigFile;
}

void SetEngineConfigFile(const std::string& path) {
    Aliases().ConfigFile = path;
    Aliases().Loaded = false;
    Aliases().EnsureLoaded();
}

int EngineGetSysInfo(TEngineSysInfo& info) {
    if (StatusFailure()) return StatusFailure();
    info = {};
    int cur = 0, hi = 0;
    sqlite3_status(SQLITE_STATUS_PAGECACHE_SIZE, &cur, &hi, 0);
    info.BufferSpace = static_cast<int64_t>(sqlite3_memory_highwater(0) / 1024);
    info.HeapSpace = static_cast<int64_t>(sqlite3_memory_used() / 1024);
    info.Drivers = 1;
    info.Clients = 1;
    info.Sessions = Sessions().Count();
    int dbs = 0;
    for (int i = 0; i < Sessions().Count(); ++i)
        for (int j = 0; j < Sessions().Items(i)->DatabaseCount(); ++j)
            if (Sessions().Items(i)->Databases(j)->GetConnected()) ++dbs;
    info.Databases = dbs;
    info.Cursors = CursorCount();
    return 0;
}

int EngineGetClientInfo(TEngineClientInfo& info) {
    if (StatusFailure()) return StatusFailure();
    info = {};
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    std::string exe = n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string("qel");
    info.Name = exe.substr(exe.rfind('/') == std::string::npos ? 0 : exe.rfind('/') + 1);
    info.Sessions = Sessions().Count();
    if (getcwd(buf, sizeof buf)) info.WorkDir = buf;
    const char* lang = std::getenv("LANG");
    info.Lang = lang && *lang ? lang : "C";
    return 0;
}

int EngineGetConfigInfo(TEngineConfigInfo& info) {
    if (StatusFailure()) return StatusFailure();
    info = {};
    info.LocalShare = false;
    info.NetProtocol = "NONE";
    info.NetShare = false;
    info.NetType = "LOCAL";
    EngineGetUserName(info.UserName);
    info.IniFile = EngineConfigFile();
    info.LangDriver = "UTF-8";
    return 0;
}

int EngineGetSysVersion(TEngineVersion& info) {
    if (StatusFailure()) return StatusFailure();
    info = {};
    info.EngineVersion = EngineSystemVersion();
    if (info.EngineVersion == 0) return engine::ecNotFound;
    info.IntfLevel = SQLITE_VERSION_NUMBER / 1000000 * 100 + (SQLITE_VERSION_NUMBER / 1000) % 1000;
    // The source id starts with "yyyy-mm-dd hh:mm:ss".
    std::string id = sqlite3_sourceid();
    TDateTime dt = 0;
    if (id.size() >= 19 && dbconv::TryTextToDateTime(id.substr(0, 19), dt)) {
        info.Date = static_cast<double>(static_cast<int64_t>(dt));
        info.Time = dt - info.Date;
    }
    return 0;
}

int EngineGetUserName(std::string& name) {
    name.clear();
    if (StatusFailure()) return StatusFailure();
    struct passwd pw;
    struct passwd* res = nullptr;
    char buf[4096];
    if (getpwuid_r(geteuid(), &pw, buf, sizeof buf, &res) != 0 || !res || !res->pw_name) {
        if (const char* u = std::getenv("USER"); u && *u) {
            name = u;
            return 0;
        }
        return engine::ecNotFound;
    }
    name = res->pw_name;
    return 0;
}

QEL_IMPLEMENT_CLASS(TSession, [](auto& c) {
    c.Property("Active", &TSession::GetActive, &TSession::SetActive).Default(true);
    c.Property("KeepConnections", &TSession::GetKeepConnections, &TSession::SetKeepConnections).Default(true);
    c.Property("NetFileDir", &TSession::GetNetFileDir, &TSession::SetNetFileDir);
    c.Property("PrivateDir", &TSession::GetPrivateDir, &TSession::SetPrivateDir);
    c.Property("SessionName", &TSession::GetSessionName, &TSession::SetSessionName);
})

} // namespace qel
