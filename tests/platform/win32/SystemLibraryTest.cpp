#include "platform/win32/SystemLibrary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "platform/win32/ExecutableDirectory.h"
#include "platform/win32/SaverWindow.h"

namespace {

// The test build puts its own PASSWORD.CPL, which refuses every password, beside this program.
constexpr char Marker[] = "GlimraTestPasswordLibrary";

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string SystemFolder() {
    char folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    std::string path(folder, length);
    if (!path.empty() && path.back() != '\\')
        path += '\\';
    return path;
}

std::string ModulePath(HMODULE module) {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
    return std::string(path, length);
}

bool IsOurs(HMODULE module) {
    return GetProcAddress(module, Marker) != nullptr;
}

class SystemLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        GetCurrentDirectoryA(MAX_PATH, m_previous);
        // The current folder is the program's, so both places a bare name is looked for hold the fake.
        ASSERT_TRUE(SetCurrentDirectoryA(ExecutableDirectory().c_str()));
    }
    void TearDown() override { SetCurrentDirectoryA(m_previous); }

private:
    char m_previous[MAX_PATH] = {};
};

TEST_F(SystemLibraryTest, ALibraryOfTheSameNameBesideTheProgramIsNeverLoaded) {
    // A bare name finds the planted library: the shadow is real.
    HMODULE bare = LoadLibraryA("PASSWORD.CPL");
    ASSERT_NE(bare, nullptr);
    EXPECT_TRUE(IsOurs(bare));
    FreeLibrary(bare);

    const ScopedLibrary library(LoadSystemLibrary("PASSWORD.CPL"));
    if (library.Module() != nullptr) {
        EXPECT_FALSE(IsOurs(library.Module()));
        EXPECT_EQ(Lower(ModulePath(library.Module())).rfind(Lower(SystemFolder()), 0), 0u);
    }
    // The fake refuses: the saver asking it would keep running. The system's library, or none, is
    // asked instead.
    SaverWindow window;
    EXPECT_NE(window.VerifyScreenSavePassword(), std::optional<bool>(false));
}

TEST_F(SystemLibraryTest, LibrariesAreLoadedFromTheSystemFolder) {
    const ScopedLibrary kernel(LoadSystemLibrary("kernel32.dll"));
    ASSERT_NE(kernel.Module(), nullptr);
    EXPECT_EQ(Lower(ModulePath(kernel.Module())).rfind(Lower(SystemFolder()), 0), 0u);

    // A library that exists only in the system folder is found there under a name of its own.
    const std::string probeName = "glimra-probe-" + std::to_string(GetCurrentProcessId()) + ".dll";
    const std::string probe = SystemFolder() + probeName;
    if (!CopyFileA((ExecutableDirectory() + "PASSWORD.CPL").c_str(), probe.c_str(), FALSE))
        GTEST_SKIP() << "the system folder is not writable here";
    {
        const ScopedLibrary library(LoadSystemLibrary(probeName.c_str()));
        ASSERT_NE(library.Module(), nullptr);
        EXPECT_TRUE(IsOurs(library.Module()));
        using Verify = BOOL(WINAPI*)(HWND);
        ASSERT_NE(library.Find<Verify>("VerifyScreenSavePwd"), nullptr);
        EXPECT_EQ(library.Find<Verify>("NoSuchFunction"), nullptr);
    }
    DeleteFileA(probe.c_str());
    EXPECT_EQ(LoadSystemLibrary("glimra-no-such-library.dll"), nullptr);
}

} // namespace
