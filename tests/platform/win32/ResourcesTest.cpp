#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/ExecutableDirectory.h"

namespace {

std::string SaverPath() {
    return ExecutableDirectory() + GLIMRA_SCR_FROM_TESTS;
}

class SaverResources : public ::testing::Test {
protected:
    void SetUp() override {
        m_module = LoadLibraryExA(SaverPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(m_module, nullptr) << SaverPath();
    }
    void TearDown() override {
        if (m_module != nullptr)
            FreeLibrary(m_module);
    }

    std::string Resource(LPCSTR name, LPCSTR type) const {
        HRSRC found = FindResourceA(m_module, name, type);
        if (found == nullptr)
            return {};
        HGLOBAL loaded = LoadResource(m_module, found);
        const auto* data = static_cast<const char*>(LockResource(loaded));
        return data != nullptr ? std::string(data, SizeofResource(m_module, found)) : std::string();
    }

    HMODULE m_module = nullptr;
};

TEST_F(SaverResources, TheSystemListsTheSaverUnderStringOne) {
    char text[64] = {};
    ASSERT_GT(LoadStringA(m_module, 1, text, sizeof text), 0);
    EXPECT_STREQ(text, "Glimra Code");
    EXPECT_NE(FindResourceA(m_module, MAKEINTRESOURCEA(100), reinterpret_cast<LPCSTR>(RT_GROUP_ICON)),
              nullptr)
        << "no icon";
}

TEST_F(SaverResources, TheManifestAsksForPerMonitorDpiAndCommonControlsSix) {
    const std::string manifest = Resource(MAKEINTRESOURCEA(1), reinterpret_cast<LPCSTR>(RT_MANIFEST));
    ASSERT_FALSE(manifest.empty());
    EXPECT_NE(manifest.find(">PerMonitorV2"), std::string::npos);
    EXPECT_NE(manifest.find(">true/pm<"), std::string::npos);
    const size_t controls = manifest.find("name=\"Microsoft.Windows.Common-Controls\"");
    ASSERT_NE(controls, std::string::npos);
    EXPECT_NE(manifest.find("version=\"6.0.0.0\"", controls), std::string::npos);
}

TEST_F(SaverResources, TheVersionRecordSaysTwoSevenAndNamesTheSaver) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(SaverPath().c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> record(size);
    ASSERT_TRUE(GetFileVersionInfoA(SaverPath().c_str(), 0, size, record.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(record.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00020007u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00020007u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);

    struct Translation {
        WORD Language;
        WORD CodePage;
    }* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(record.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, sizeof(Translation));
    char block[64];
    std::snprintf(block, sizeof block, "\\StringFileInfo\\%04x%04x\\", translation->Language,
                  translation->CodePage);
    for (const auto& [name, expected] :
         {std::pair{"FileDescription", "Glimra Code Screen Saver"}, std::pair{"FileVersion", "2.7.0.0"},
          std::pair{"ProductVersion", "2.7.0.0"}}) {
        char* value = nullptr;
        ASSERT_TRUE(VerQueryValueA(record.data(), (std::string(block) + name).c_str(),
                                   reinterpret_cast<void**>(&value), &length))
            << name;
        EXPECT_STREQ(value, expected) << name;
    }
}

} // namespace
