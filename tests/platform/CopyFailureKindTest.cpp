// Copies named without replacing anything: the caller tells a taken name (try the next one,
// the copy kept) from a folder that cannot take files (ask for another) by the failure's kind.
// Saves meet a taken name, a missing folder and a missing cached file in files/SaveEntryTest;
// here are the kinds no save reaches.
#include <gtest/gtest.h>

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
    {"a folder gone between staging and naming",
     [](const test::TempFolder& temp, PosixFileOps& files) {
         return NameCopyAs(files, temp.path(), temp / "missing/game.swf");
     },
     FailureKind::kTargetFolder},
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

}  // namespace
}  // namespace pellimor
