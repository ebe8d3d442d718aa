#include <gtest/gtest.h>

#include <vector>

#include "platform/linux/X11HackOptions.h"

namespace {

X11HackOptions Parse(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "glimracode");
    return ParseHackOptions(static_cast<int>(arguments.size()), arguments.data());
}

TEST(X11HackOptions, AcceptsOneDashAndTwo) {
    EXPECT_EQ(Parse({"--root"}).Mode, X11HackMode::Root);
    EXPECT_EQ(Parse({"-root"}).Mode, X11HackMode::Root);
    EXPECT_EQ(Parse({"--window"}).Mode, X11HackMode::Window);
    EXPECT_EQ(Parse({"-window"}).Mode, X11HackMode::Window);
    EXPECT_EQ(Parse({"--help"}).Mode, X11HackMode::Help);
    EXPECT_EQ(Parse({"-h"}).Mode, X11HackMode::Help);
    const X11HackOptions id = Parse({"-window-id", "0x2a00007"});
    EXPECT_EQ(id.Mode, X11HackMode::WindowId);
    EXPECT_EQ(id.WindowId, 0x2a00007u);
    EXPECT_TRUE(id.Error.empty());
}

TEST(X11HackOptions, LeavesTheWindowsSwitchesAlone) {
    for (const char* argument : {"/s", "-s", "s", "screen", "/c:1234", "/p", "/a", "/x", "-", "5", "",
                                 "---root", "--rooted", "root", "/root", "-windowid"})
        EXPECT_EQ(Parse({argument}).Mode, X11HackMode::NotAHack) << argument;
    EXPECT_EQ(Parse({}).Mode, X11HackMode::NotAHack);
}

TEST(X11HackOptions, OnlyTheFirstArgumentChoosesTheMode) {
    EXPECT_EQ(Parse({"/s", "--root"}).Mode, X11HackMode::NotAHack);
    EXPECT_EQ(Parse({"--root", "--window"}).Mode, X11HackMode::Root);
}

TEST(X11HackOptions, AWindowIdThatIsMissingOrWrongIsAnError) {
    EXPECT_FALSE(Parse({"--window-id"}).Error.empty());
    EXPECT_FALSE(Parse({"--window-id", "0"}).Error.empty());
    EXPECT_FALSE(Parse({"--window-id", "window"}).Error.empty());
    EXPECT_FALSE(Parse({"--window-id", "12abc"}).Error.empty());
}

TEST(X11HackOptions, WindowIdsInDecimalAndHexadecimal) {
    EXPECT_EQ(ParseWindowId("44040199"), 44040199u);
    EXPECT_EQ(ParseWindowId("0x2A00007"), 0x2A00007u);
    EXPECT_EQ(ParseWindowId("0XfFfFfFfF"), 0xFFFFFFFFu);
    EXPECT_FALSE(ParseWindowId("0x100000000"));
    EXPECT_FALSE(ParseWindowId("0x"));
    EXPECT_FALSE(ParseWindowId(""));
    EXPECT_FALSE(ParseWindowId("-5"));
    EXPECT_FALSE(ParseWindowId("+5"));
    EXPECT_FALSE(ParseWindowId(" 5"));
    EXPECT_FALSE(ParseWindowId("0x-5"));
}

} // namespace
