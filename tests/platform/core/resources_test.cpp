#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/core/resources.h"

using namespace qel;

namespace {
std::string FileBytes(const std::string& name) {
    std::ifstream f(std::string(QEL_CORE_TEST_DIR) + "/forms/" + name, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}
std::string AsString(TResourceBytes b) {
    return std::string(reinterpret_cast<const char*>(b.data()), b.size());
}
} // namespace

TEST(Resources, EmbeddedFilesAreFoundByNameOrIdAndType) {
    auto form = FindResource("ttestembedded", "qfm");
    ASSERT_TRUE(form);
    EXPECT_EQ(AsString(*form), FileBytes("frame.qfm"));
    EXPECT_EQ(ResourceFileName("TTESTEMBEDDED", "QFM"), "frame.qfm");
    auto data = FindResource("QELTESTDATA", "RCDATA");
    ASSERT_TRUE(data);
    EXPECT_EQ(AsString(*data), FileBytes("all_values.qfm"));
    auto byId = FindResource(7, "rcdata");
    ASSERT_TRUE(byId);
    EXPECT_EQ(AsString(*byId), FileBytes("empty_values.qfm"));
    EXPECT_FALSE(FindResource("QelTestData", "QFM")); // the type matters
    EXPECT_FALSE(FindResource(8, "RCDATA"));
    auto names = ResourceNames("rcdata");
    EXPECT_NE(std::find(names.begin(), names.end(), "QELTESTDATA"), names.end());
}

TEST(Resources, StreamsReadResourcesAndMissingOnesRaiseResNotFound) {
    TResourceStream s("QelTestData", "RCDATA");
    EXPECT_EQ(s.Size(), static_cast<int64_t>(FileBytes("all_values.qfm").size()));
    EXPECT_EQ(s.ReadAll(), FileBytes("all_values.qfm"));
    EXPECT_THROW(s.WriteString("x"), EStreamError);
    try {
        TResourceStream missing("NOSUCHRES", "RCDATA");
        FAIL();
    } catch (const EResNotFound& e) {
        EXPECT_STREQ(e.what(), "Resource NOSUCHRES not found");
    }
    try {
        TResourceStream missing(99, "RCDATA");
        FAIL();
    } catch (const EResNotFound& e) {
        EXPECT_STREQ(e.what(), "Resource #99 not found");
    }
}

TEST(Resources, RunTimeRegistrationReplacesAndUnregisters) {
    RegisterResourceCopy("Temp", "TXT", "first");
    RegisterResourceCopy("TEMP", "txt", "second");
    EXPECT_EQ(AsString(*FindResource("temp", "TXT")), "second");
    UnregisterResource("Temp", "Txt");
    EXPECT_FALSE(ResourceExists("Temp", "TXT"));
}
