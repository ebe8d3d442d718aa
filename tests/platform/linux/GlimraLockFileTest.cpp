#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/linux/GlimraLockFile.h"

namespace fs = std::filesystem;

namespace {

class GlimraLockFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder =
            fs::temp_directory_path() / ("glimra-lock-" + std::to_string(getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder);
        fs::permissions(folder, fs::perms::owner_all);
        path = (folder / "glimracode.lock").string();
    }
    void TearDown() override { fs::remove_all(folder); }

    fs::path folder;
    std::string path;
};

TEST_F(GlimraLockFileTest, ASecondHolderIsRefusedUntilTheFirstLetsGo) {
    GlimraLockFile first, second;
    ASSERT_EQ(first.Acquire(path), GlimraLockFile::Result::Acquired);
    EXPECT_EQ(second.Acquire(path), GlimraLockFile::Result::HeldElsewhere);
    EXPECT_FALSE(second.IsHeld());
    first.Release();
    EXPECT_EQ(second.Acquire(path), GlimraLockFile::Result::Acquired);
}

TEST_F(GlimraLockFileTest, AKilledHolderLeavesNothingStuck) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        GlimraLockFile lock;
        const char answer = lock.Acquire(path) == GlimraLockFile::Result::Acquired ? 'y' : 'n';
        [[maybe_unused]] const ssize_t written = write(ready[1], &answer, 1);
        pause();
        _exit(0);
    }
    char answer = 0;
    ASSERT_EQ(read(ready[0], &answer, 1), 1);
    ASSERT_EQ(answer, 'y');
    GlimraLockFile mine;
    EXPECT_EQ(mine.Acquire(path), GlimraLockFile::Result::HeldElsewhere);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_TRUE(fs::exists(path));
    EXPECT_EQ(mine.Acquire(path), GlimraLockFile::Result::Acquired);
    close(ready[0]);
    close(ready[1]);
}

TEST_F(GlimraLockFileTest, AFileThatCannotBeMadeIsUnavailableNotHeld) {
    GlimraLockFile lock;
    EXPECT_EQ(lock.Acquire((folder / "missing" / "glimracode.lock").string()),
              GlimraLockFile::Result::Unavailable);
    EXPECT_FALSE(lock.IsHeld());
}

TEST_F(GlimraLockFileTest, ASymbolicLinkIsNotFollowed) {
    const fs::path target = folder / "elsewhere";
    fs::create_symlink(target, path);
    GlimraLockFile lock;
    EXPECT_EQ(lock.Acquire(path), GlimraLockFile::Result::Unavailable);
    EXPECT_FALSE(fs::exists(target));
}

// Another user must not be able to make the lock, or hold it, before this user does.
TEST_F(GlimraLockFileTest, AFolderOthersMayWriteOrAFileOfAnotherUserIsRefused) {
    fs::permissions(folder, fs::perms::all);
    GlimraLockFile lock;
    EXPECT_EQ(lock.Acquire(path), GlimraLockFile::Result::Unavailable);
    EXPECT_FALSE(fs::exists(path));
    fs::permissions(folder, fs::perms::owner_all);
    if (geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another user";
    std::ofstream(path) << "";
    ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
    EXPECT_EQ(lock.Acquire(path), GlimraLockFile::Result::Unavailable) << "held by nobody, but not ours";
}

// A child started as part of the holder (the dialog's full-screen preview) is lent the holder's own
// open file and shares its lock; anything else lent counts for nothing, and the lock stays refused.
TEST_F(GlimraLockFileTest, OnlyTheHoldersOwnLentDescriptorSharesTheLock) {
    setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    GlimraLockFile holder;
    ASSERT_EQ(holder.AcquireNamed("glimracode.lock"), GlimraLockFile::Result::Acquired);
    ASSERT_EQ(holder.Path(), path);
    const std::string other = (folder / "other").string();
    std::ofstream(other) << "";
    struct Case {
        const char* Name;
        int Lent; // a descriptor, or -1 for the text below
        const char* Text;
        GlimraLockFile::Result Expected;
    };
    const Case cases[] = {
        {"the holder's own file", dup(holder.Descriptor()), nullptr, GlimraLockFile::Result::Acquired},
        {"the lock file opened afresh", open(path.c_str(), O_RDWR | O_CLOEXEC), nullptr,
         GlimraLockFile::Result::HeldElsewhere},
        {"another file", open(other.c_str(), O_RDWR | O_CLOEXEC), nullptr,
         GlimraLockFile::Result::HeldElsewhere},
        {"a closed descriptor", 999, nullptr, GlimraLockFile::Result::HeldElsewhere},
        {"no number", -1, "3x", GlimraLockFile::Result::HeldElsewhere},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.Name);
        const std::string text = row.Text != nullptr ? row.Text : std::to_string(row.Lent);
        setenv(GlimraLockFile::LentVariable, text.c_str(), 1);
        GlimraLockFile child;
        EXPECT_EQ(child.AcquireNamed("glimracode.lock"), row.Expected);
        EXPECT_EQ(std::getenv(GlimraLockFile::LentVariable), nullptr) << "passed on to the child's children";
        child.Release();
        GlimraLockFile user;
        EXPECT_EQ(user.AcquireNamed("glimracode.lock"), GlimraLockFile::Result::HeldElsewhere)
            << "the child's end let go of the holder's lock";
        // A lent lock file that holds no lock is closed by the child itself.
        if (row.Lent >= 0 && row.Lent != 999 && fcntl(row.Lent, F_GETFD) != -1)
            close(row.Lent);
    }
    unsetenv("XDG_RUNTIME_DIR");
}

TEST(GlimraLockFileDefaultPath, PrefersTheRuntimeFolderElseAFolderOfTheUsersOwn) {
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string previous = saved != nullptr ? saved : "";
    char runtime[] = "/tmp/glimra-runtime-XXXXXX";
    ASSERT_NE(mkdtemp(runtime), nullptr);
    setenv("XDG_RUNTIME_DIR", runtime, 1);
    EXPECT_EQ(GlimraLockFile::DefaultPath(), std::string(runtime) + "/glimracode.lock");
    rmdir(runtime);
    const std::string own = "/tmp/glimracode-" + std::to_string(geteuid());
    EXPECT_EQ(GlimraLockFile::DefaultPath(), own + "/glimracode.lock") << "the runtime folder is gone";
    setenv("XDG_RUNTIME_DIR", "relative/path", 1);
    EXPECT_EQ(GlimraLockFile::DefaultPath(), own + "/glimracode.lock");
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(GlimraLockFile::DefaultPath(), own + "/glimracode.lock");
    struct stat status {};
    ASSERT_EQ(lstat(own.c_str(), &status), 0);
    EXPECT_TRUE(S_ISDIR(status.st_mode));
    EXPECT_EQ(status.st_uid, geteuid());
    EXPECT_EQ(status.st_mode & 077, 0u);
    if (saved != nullptr)
        setenv("XDG_RUNTIME_DIR", previous.c_str(), 1);
}

} // namespace
