#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>

#include "fakes/TempFolder.h"
#include "platform/posix/PosixFileStore.h"

namespace krl {
namespace {

TEST(PosixFileStore, ReplacesWholeOrNotAtAllAndLeavesNothingBeside) {
    test::TempFolder home;
    PosixFileStore files;
    const std::string path = (home.path() / "AddressBook.krl").string();
    EXPECT_EQ(files.read(path, 100).error, ENOENT);
    ASSERT_EQ(files.replace(path, "first"), 0);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);  // the user's contacts and transfers are private
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_EQ(files.replace(path, "second"), 0);
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);  // a replacement keeps the file's permissions
    EXPECT_EQ(files.read(path, 5).error, EFBIG);

    // A folder stands where a file would be renamed to: the rename fails after the write.
    const std::string blocked = home.sub("blocked").string();
    EXPECT_NE(files.replace(blocked, "y"), 0);
    EXPECT_EQ(files.replace((home.path() / "missing" / "q").string(), "z"), ENOENT);
    EXPECT_EQ(files.read(path, 100).bytes, "second");
    EXPECT_EQ(test::filesBelow(home.path()), std::vector<std::string>{"AddressBook.krl"});
}

}  // namespace
}  // namespace krl
