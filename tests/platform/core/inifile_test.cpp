#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/core/inifiles.h"
#include "platform/core/registry.h"

using namespace qel;
namespace fs = std::filesystem;

namespace {

class TempDir {
public:
    TempDir() {
        FPath = fs::temp_directory_path() /
                ("qel_core_test_" + std::to_string(::getpid()) + "_" + std::to_string(++Counter));
        fs::create_directories(FPath);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(FPath, ec);
    }
    std::string File(const std::string& name) const { return (FPath / name).string(); }
    const fs::path& Path() const { return FPath; }

private:
    static inline int Counter = 0;
    fs::path FPath;
};

void WriteText(const std::string& file, const std::string& text) {
    std::ofstream f(file, std::ios::binary);
    f << text;
}

std::string ReadText(const std::string& file) {
    std::ifstream f(file, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

} // namespace

TEST(IniFile, ReadsValuesCaseInsensitivelyAndIgnoresWhatItCannotParse) {
    TempDir dir;
    std::string file = dir.File("tips.ini");
    WriteText(file, "\xEF\xBB\xBFstray line before sections\r\n"
                    "[TIPS]\r\n"
                    "ShowOnStartup=1\r\n"
                    "NextTip = 3 \r\n"
                    "; a comment=with equals\r\n"
                    "no equals here\r\n"
                    "=no key\r\n"
                    "[broken section\r\n"
                    "[TIP TEXT]\r\n"
                    "Tip1=Use the \"Options\" page\r\n"
                    "Tip2=x=y\r\n"
                    "[tips]\r\n"
                    "Extra=$1F\r\n"
                    "Ratio=2.5\r\n"
                    "Bad=12abc\r\n");
    TMemIniFile ini(file);
    EXPECT_TRUE(ini.ReadBool("tips", "showonstartup", false));
    EXPECT_EQ(ini.ReadInteger("TIPS", "NextTip", 0), 3);
    EXPECT_EQ(ini.ReadInteger("TIPS", "Extra", 0), 31); // duplicate sections merge
    EXPECT_EQ(ini.ReadInteger("TIPS", "Bad", -1), -1);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("TIPS", "Ratio", 0), 2.5);
    EXPECT_EQ(ini.ReadString("TIP TEXT", "Tip1", ""), "Use the \"Options\" page");
    EXPECT_EQ(ini.ReadString("TIP TEXT", "Tip2", ""), "x=y");
    EXPECT_EQ(ini.ReadString("TIP TEXT", "Tip9", "none"), "none");
    EXPECT_FALSE(ini.ValueExists("TIPS", "no equals here"));
    EXPECT_FALSE(ini.ValueExists("TIPS", "; a comment"));
    TStringList keys, sections, values;
    ini.ReadSection("tips", &keys);
    EXPECT_EQ(keys.GetCommaText(), "ShowOnStartup,NextTip,Extra,Ratio,Bad");
    ini.ReadSections(&sections);
    EXPECT_EQ(sections.GetCommaText(), "TIPS,\"TIP TEXT\"");
    ini.ReadSectionValues("TIP TEXT", &values);
    EXPECT_EQ(values.Count(), 2);
    EXPECT_EQ(values[1], "Tip2=x=y");
    EXPECT_FALSE(ini.SectionExists("broken section"));
}

TEST(IniFile, MemIniWritesOnUpdateAndKeepsCommentsAndUnknownLines) {
    TempDir dir;
    std::string file = dir.File("a.ini");
    WriteText(file, "[S]\n; keep me\nA=1\nodd line\n\n[T]\nB=2\n");
    {
        TMemIniFile ini(file);
        ini.WriteInteger("s", "a", 5);
        ini.WriteString("S", "New", "  spaced  ");
        ini.WriteBool("U", "Flag", true);
        ini.DeleteKey("T", "B");
        EXPECT_EQ(ReadText(file), "[S]\n; keep me\nA=1\nodd line\n\n[T]\nB=2\n"); // nothing written yet
        ini.UpdateFile();
    }
    EXPECT_EQ(ReadText(file), "[S]\n; keep me\nA=5\nodd line\nNew=spaced\n\n[T]\n[U]\nFlag=1\n");
    TMemIniFile again(file);
    again.EraseSection("t");
    again.UpdateFile();
    EXPECT_EQ(ReadText(file), "[S]\n; keep me\nA=5\nodd line\nNew=spaced\n\n[U]\nFlag=1\n");
    // Nothing but the file itself is left behind in the folder.
    int entries = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(dir.Path())) ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(IniFile, IniFileWritesThroughAtOnce) {
    TempDir dir;
    std::string file = dir.File("b.ini");
    TIniFile ini(file); // no file yet: empty
    EXPECT_FALSE(ini.SectionExists("X"));
    ini.WriteString("X", "Key", "Value");
    EXPECT_EQ(ReadText(file), "[X]\nKey=Value\n");
    ini.WriteFloat("X", "F", 0.25);
    EXPECT_EQ(TMemIniFile(file).ReadFloat("X", "F", 0), 0.25);
    ini.DeleteKey("X", "Key");
    EXPECT_EQ(ReadText(file), "[X]\nF=0.25\n");
    EXPECT_THROW(ini.WriteString("X", "a=b", "v"), EIniFileException);
    EXPECT_THROW(ini.WriteString("X", "k", "two\nlines"), EIniFileException);
    EXPECT_THROW(ini.WriteString("[X]", "k", "v"), EIniFileException);
    EXPECT_EQ(ReadText(file), "[X]\nF=0.25\n");
}

TEST(IniFile, UnwritableFolderRaisesAndKeepsTheOldFile) {
    TempDir dir;
    std::string file = dir.File("missing/c.ini");
    TMemIniFile ini(file);
    ini.WriteString("A", "B", "C");
    EXPECT_THROW(ini.UpdateFile(), EFCreateError);
}

TEST(IniFile, BinaryGarbageNeverCrashes) {
    TempDir dir;
    std::string file = dir.File("junk.ini");
    std::string junk;
    uint32_t s = 99;
    for (int i = 0; i < 20000; ++i) {
        s = s * 1103515245u + 12345u;
        junk += "[]=;\n\r \x00\xFF"[(s >> 16) % 10];
    }
    WriteText(file, junk);
    TMemIniFile ini(file);
    TStringList sections;
    ini.ReadSections(&sections);
    ini.UpdateFile();
    // What was readable reads back the same from the rewritten file.
    TMemIniFile again(file);
    TStringList sections2;
    again.ReadSections(&sections2);
    EXPECT_TRUE(sections.Equals(sections2));
    for (int i = 0; i < sections.Count(); ++i) {
        TStringList v1, v2;
        ini.ReadSectionValues(sections[i], &v1);
        again.ReadSectionValues(sections[i], &v2);
        EXPECT_TRUE(v1.Equals(v2)) << sections[i];
    }
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { SetRegistryFolder((FDir.Path() / "reg").string()); }
    void TearDown() override { SetRegistryFolder(""); }
    TempDir FDir;
};

TEST_F(RegistryTest, KeysAndValuesPersistAcrossInstances) {
    {
        TRegistry reg;
        reg.SetRootKey(HKEY_CURRENT_USER);
        EXPECT_FALSE(reg.OpenKey("Software\\QEL\\Demo", false));
        ASSERT_TRUE(reg.OpenKey("Software\\QEL\\Demo", true));
        reg.WriteString("Name", "  Welcome to QEL  ");
        reg.WriteInteger("Runs", 3);
        reg.WriteBool("Splash", false);
        reg.WriteString("", "default value");
        EXPECT_EQ(reg.CurrentPath(), "Software\\QEL\\Demo");
    }
    TRegistry reg;
    EXPECT_TRUE(reg.KeyExists("\\software\\qel"));
    EXPECT_FALSE(reg.KeyExists("Software\\QE"));
    ASSERT_TRUE(reg.OpenKey("SOFTWARE\\qel\\demo", false));
    EXPECT_EQ(reg.ReadString("name"), "  Welcome to QEL  ");
    EXPECT_EQ(reg.ReadInteger("Runs"), 3);
    EXPECT_FALSE(reg.ReadBool("Splash"));
    EXPECT_EQ(reg.ReadString(""), "default value");
    EXPECT_EQ(reg.GetDataType("Runs"), rdInteger);
    EXPECT_EQ(reg.ReadString("Missing"), "");
    try {
        reg.ReadInteger("Name");
        FAIL();
    } catch (const ERegistryException& e) {
        EXPECT_STREQ(e.what(), "Invalid data type for 'Name'");
    }
    EXPECT_THROW(reg.ReadInteger("Missing"), ERegistryException);
    EXPECT_THROW(reg.ReadString("Runs"), ERegistryException);
    TStringList names;
    reg.GetValueNames(&names);
    EXPECT_EQ(names.GetCommaText(), "Name,Runs,Splash,\"\"");
    EXPECT_TRUE(reg.DeleteValue("Runs"));
    EXPECT_FALSE(reg.ValueExists("Runs"));
    // Other roots are separate stores.
    TRegistry other;
    other.SetRootKey(HKEY_CLASSES_ROOT);
    EXPECT_FALSE(other.KeyExists("Software"));
}

TEST_F(RegistryTest, SubKeysAreListedAndDeletedWithTheirChildren) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("A\\B1\\C", true));
    reg.WriteInteger("x", 1);
    ASSERT_TRUE(reg.OpenKey("\\A\\B2", true));
    ASSERT_TRUE(reg.OpenKey("\\A", false));
    TStringList keys;
    reg.GetKeyNames(&keys);
    EXPECT_EQ(keys.GetCommaText(), "B1,B2");
    EXPECT_TRUE(reg.OpenKey("B1", false)); // relative to A
    EXPECT_EQ(reg.CurrentPath(), "A\\B1");
    EXPECT_TRUE(reg.DeleteKey("\\A\\B1"));
    EXPECT_FALSE(reg.KeyExists("\\A\\B1\\C"));
    EXPECT_TRUE(reg.KeyExists("\\A\\B2"));
    EXPECT_FALSE(reg.DeleteKey("\\Nope"));
    reg.CloseKey();
    EXPECT_THROW(reg.WriteString("v", "x"), ERegistryException);
}

TEST_F(RegistryTest, DamagedFilesAreReadWhereTheyCanBe) {
    fs::create_directories(FDir.Path() / "reg");
    WriteText((FDir.Path() / "reg" / "HKEY_CURRENT_USER.reg").string(),
              "garbage\n[K]\ni:Good=5\ni:Bad=five\nnonsense\ns:Str=\"ok\"\n[unterminated\n");
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("K", false));
    EXPECT_EQ(reg.ReadInteger("Good"), 5);
    EXPECT_THROW(reg.ReadInteger("Bad"), ERegistryException);
    EXPECT_EQ(reg.ReadString("Str"), "ok");
}
