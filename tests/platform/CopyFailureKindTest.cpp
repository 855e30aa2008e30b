// Copies named without replacing anything: the caller tells a taken name (try the next one,
// the copy kept) from a folder that cannot take files (ask for another) by the failure's kind.
#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>
#include <string>

#include "platform/fileops/ExportFolderPosix.h"
#include "platform/fileops/PosixFileOps.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

struct KindCase {
    const char* name;
    // Makes the situation in temp; the outcome of the step under test.
    std::function<Status(const test::TempFolder& temp, PosixFileOps& files)> run;
    FailureKind kind;
};

Status NameCopyAs(PosixFileOps& files, const std::string& folder, const std::string& to) {
    auto copy = PELLIMOR_TRY(files.StageBytes("FWS", folder));
    return copy->NameAs(to);
}

const KindCase kKindCases[] = {
    {"a name taken",
     [](const test::TempFolder& temp, PosixFileOps& files) {
         test::WriteFile(temp / "game.swf", "mine");
         return NameCopyAs(files, temp.path(), temp / "game.swf");
     },
     FailureKind::kTargetExists},
    {"a folder that is not there, staging",
     [](const test::TempFolder& temp, PosixFileOps& files) {
         return NameCopyAs(files, temp / "missing", temp / "missing/game.swf");
     },
     FailureKind::kTargetFolder},
    {"a folder gone between staging and naming",
     [](const test::TempFolder& temp, PosixFileOps& files) {
         return NameCopyAs(files, temp.path(), temp / "missing/game.swf");
     },
     FailureKind::kTargetFolder},
    {"a cached file that is not there",
     [](const test::TempFolder& temp, PosixFileOps& files) -> Status {
         PELLIMOR_TRY(files.StageCopy(temp / "absent.swf", temp.path()));
         return Done{};
     },
     FailureKind::kOther},
    {"an export file there already",
     [](const test::TempFolder& temp, PosixFileOps&) -> Status {
         test::WriteFile(temp / "game.swf", "mine");
         auto folder = PELLIMOR_TRY(ExportFolderPosix::Open(temp.path()));
         return folder->WriteNew({"game.swf"}, "FWS");
     },
     FailureKind::kTargetExists},
    {"an export folder that is a file",
     [](const test::TempFolder& temp, PosixFileOps&) -> Status {
         test::WriteFile(temp / "game", "mine");
         auto folder = PELLIMOR_TRY(ExportFolderPosix::Open(temp.path()));
         return folder->WriteNew({"game", "game.swf"}, "FWS");
     },
     FailureKind::kOther},
};

TEST(CopyFailureKind, EachFailureSaysItsKind) {
    for (const KindCase& c : kKindCases) {
        SCOPED_TRACE(c.name);
        const test::TempFolder temp;
        PosixFileOps files;
        const Status outcome = c.run(temp, files);
        ASSERT_FALSE(outcome.ok());
        EXPECT_FALSE(outcome.error().empty());
        EXPECT_EQ(outcome.kind(), c.kind);
    }
}

// A taken name leaves the copy pending: the next name takes it without copying again, and
// what was there stays as it was.
TEST(CopyFailureKind, TakenNameKeepsTheCopy) {
    const test::TempFolder temp;
    test::WriteFile(temp / "game.swf", "mine");
    PosixFileOps files;
    auto copy = files.StageBytes("FWS", temp.path());
    ASSERT_TRUE(copy.ok()) << copy.error();
    EXPECT_EQ((*copy)->NameAs(temp / "game.swf").kind(), FailureKind::kTargetExists);
    const Status named = (*copy)->NameAs(temp / "game[1].swf");
    ASSERT_TRUE(named.ok()) << named.error();
    EXPECT_EQ(test::ReadFile(temp / "game.swf"), "mine");
    EXPECT_EQ(test::ReadFile(temp / "game[1].swf"), "FWS");
}

}  // namespace
}  // namespace pellimor
