#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/x11/GlimraLockFile.h"

namespace fs = std::filesystem;

namespace {

class GlimraLockFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder =
            fs::temp_directory_path() / ("glimra-lock-" + std::to_string(getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder);
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

TEST(GlimraLockFileDefaultPath, PrefersTheRuntimeFolder) {
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string previous = saved != nullptr ? saved : "";
    setenv("XDG_RUNTIME_DIR", "/run/user/4242", 1);
    EXPECT_EQ(GlimraLockFile::DefaultPath(), "/run/user/4242/glimracode.lock");
    setenv("XDG_RUNTIME_DIR", "relative/path", 1);
    EXPECT_EQ(GlimraLockFile::DefaultPath(), "/tmp/glimracode-" + std::to_string(getuid()) + ".lock");
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(GlimraLockFile::DefaultPath(), "/tmp/glimracode-" + std::to_string(getuid()) + ".lock");
    if (saved != nullptr)
        setenv("XDG_RUNTIME_DIR", previous.c_str(), 1);
}

} // namespace
