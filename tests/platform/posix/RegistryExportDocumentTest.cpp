#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/posix/RegistryExportDocument.h"

namespace {

constexpr std::string_view Key = "HKEY_CURRENT_USER\\Software\\KLOV\\Glimra";

RegistryExportDocument Parsed(std::string_view text) {
    std::optional<RegistryExportDocument> document = RegistryExportDocument::Parse(text);
    EXPECT_TRUE(document) << text;
    return document ? std::move(*document) : RegistryExportDocument::New();
}

std::vector<uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

} // namespace

TEST(RegistryExportDocument, RefusesWhatIsNoExportAndGivesBackEveryByteOfWhatIs) {
    for (std::string_view text :
         {"", "REGEDIT", "; REGEDIT4\r\n", "REGEDIT5\n", "Windows Registry Editor\r\n"})
        EXPECT_FALSE(RegistryExportDocument::Parse(text)) << text;
    const std::string odd =
        "REGEDIT4\n[HKEY_CURRENT_USER\\A]  \n\"x\"=hex:01,\\\n 02\n\"bad\"=dword:zz\r\njunk";
    EXPECT_EQ(Parsed(odd).Serialise(), odd);
    const std::string wide("\xFF\xFER\0E\0G\0E\0D\0I\0T\0"
                           "4\0\r\0\n\0\x3D\xD8",
                           24);
    EXPECT_EQ(Parsed(wide).Serialise(), wide) << "an unpaired surrogate survives";
    EXPECT_EQ(RegistryExportDocument::New().Serialise(), "REGEDIT4\r\n");
}

TEST(RegistryExportDocument, TheLastLineNamingAValueDecidesItAndSpoiledLinesReadAsNoType) {
    const RegistryExportDocument document = Parsed("REGEDIT4\n[HKEY_CURRENT_USER\\Software\\KLOV\\Glimra]\n"
                                                   "\"Delay\"=dword:1\n\"Gone\"=dword:2\n"
                                                   "[hkey_current_user\\software\\klov\\glimra]\n"
                                                   "\"DELAY\"=dword:00000003\n\"gone\"=-\n\"Bad\"=dword:\n");
    const RegistryExportLine* delay = document.FindValue(Key, "delay");
    ASSERT_TRUE(delay);
    EXPECT_EQ(delay->Data, (std::vector<uint8_t>{3, 0, 0, 0}));
    EXPECT_FALSE(document.FindValue(Key, "Gone")) << "a deletion hides the value";
    ASSERT_TRUE(document.FindValue(Key, "Bad"));
    EXPECT_EQ(document.FindValue(Key, "Bad")->Type, GlimraValueType::None);
    EXPECT_EQ(document.FindValue(Key, "Bad")->Kind, RegistryExportLineKind::Spoiled);
    EXPECT_FALSE(document.FindValue("HKEY_CURRENT_USER\\Software\\KLOV", "Delay"));
}

TEST(RegistryExportDocument, EditsTouchOnlyTheLinesTheyMean) {
    RegistryExportDocument document = Parsed("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\KLOV\\Glimra]\n"
                                             "\"Delay\"=dword:00000001\n; kept\n\"delay\"=dword:2\n");
    document.SetValue(Key, "Delay", GlimraValueType::Dword, std::vector<uint8_t>{0x64, 0, 0, 0});
    document.SetValue(Key, "Font Name", GlimraValueType::String, Bytes(std::string_view("A \"q\"\\", 7)));
    document.SetValue(Key, "Odd", GlimraValueType::String, Bytes("no terminator"));
    EXPECT_EQ(document.Serialise(), "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\KLOV\\Glimra]\n"
                                    "\"Delay\"=dword:00000064\n\"Font Name\"=\"A \\\"q\\\"\\\\\"\n"
                                    "\"Odd\"=hex(1):6e,6f,20,74,65,72,6d,69,6e,61,74,6f,72\n; kept\n")
        << "the repeated Delay is gone, and new values follow the key's last value";

    RegistryExportDocument cut = Parsed("REGEDIT4\r\n[HKEY_CURRENT_USER\\Other]\r\n\"L\"=hex:01,\\");
    cut.AddKey(Key);
    cut.AddKey("hkey_current_user\\software\\klov\\glimra");
    cut.SetValue(Key, "V", GlimraValueType::Dword, std::vector<uint8_t>{1, 0, 0, 0});
    EXPECT_EQ(cut.Serialise(), "REGEDIT4\r\n[HKEY_CURRENT_USER\\Other]\r\n\"L\"=hex:01,\\\r\n\r\n\r\n"
                               "[HKEY_CURRENT_USER\\Software\\KLOV\\Glimra]\r\n\"V\"=dword:00000001\r\n")
        << "a byte list cut short is ended before the new key, which is added once";
}
