#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "engine_fixture.h"

namespace qel::test {
namespace {

// Runs `body` in a child process that kills itself with SIGKILL right after it; returns whether the
// child died that way.
template <typename F>
bool RunAndKill(F body) {
    pid_t pid = fork();
    if (pid == 0) {
        try {
            body();
        } catch (...) {
            _exit(3);
        }
        raise(SIGKILL);
        _exit(4);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

TEST_F(EngineTest, CommittedPostsSurviveTheProcessBeingKilled) {
    Db->Close();
    std::string file = FileName;
    ASSERT_TRUE(RunAndKill([&] {
        TDatabase db(nullptr);
        db.SetDatabaseName("KILLDB1");
        db.GetParams()->Add("PATH=" + file);
        TTable t(nullptr);
        t.SetDatabaseName("KILLDB1");
        t.SetTableName("people");
        t.Open();
        t.Append();
        t.FieldByName("Id")->SetAsInteger(500);
        t.FieldByName("Name")->SetAsString("Survivor");
        t.Post(); // autocommit
        db.StartTransaction();
        t.Append();
        t.FieldByName("Id")->SetAsInteger(501);
        t.FieldByName("Name")->SetAsString("Committed");
        t.Post();
        db.Commit();
        db.StartTransaction();
        t.Append();
        t.FieldByName("Id")->SetAsInteger(502);
        t.FieldByName("Name")->SetAsString("Uncommitted");
        t.Post();
        // killed with the transaction open
    }));
    Db->Open();
    auto t = MakeTable();
    t->Open();
    EXPECT_TRUE(t->Locate("Name", "Survivor", {}));
    EXPECT_TRUE(t->Locate("Name", "Committed", {}));
    EXPECT_FALSE(t->Locate("Name", "Uncommitted", {}));
    EXPECT_EQ(t->RecordCount(), 12);
}

} // namespace
} // namespace qel::test
