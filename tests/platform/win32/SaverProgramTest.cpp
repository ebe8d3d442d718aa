#include "platform/win32/SaverProgram.h"

#include <gtest/gtest.h>

namespace {

TEST(SaverProgram, OnlyOneCopyHoldsTheMarkerUntilItLetsGo) {
    SaverProgram first(GetModuleHandleA(nullptr));
    SaverProgram second(GetModuleHandleA(nullptr));
    ASSERT_TRUE(first.AcquireInstanceMarker());
    HANDLE seen = OpenSemaphoreA(SYNCHRONIZE, FALSE, SaverProgram::SemaphoreName);
    EXPECT_NE(seen, nullptr) << "the marker is the named semaphore";
    if (seen != nullptr)
        CloseHandle(seen);
    EXPECT_FALSE(second.AcquireInstanceMarker());
    first.ReleaseInstanceMarker();
    EXPECT_TRUE(second.AcquireInstanceMarker());
    second.ReleaseInstanceMarker();
}

TEST(SaverProgram, TheMarkerGoesWithTheProgram) {
    {
        SaverProgram program(GetModuleHandleA(nullptr));
        ASSERT_TRUE(program.AcquireInstanceMarker());
    }
    HANDLE seen = OpenSemaphoreA(SYNCHRONIZE, FALSE, SaverProgram::SemaphoreName);
    EXPECT_EQ(seen, nullptr);
    if (seen != nullptr)
        CloseHandle(seen);
}

} // namespace
