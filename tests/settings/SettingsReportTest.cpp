#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "settings/SettingsReport.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(SettingsReport, ListsThePathAndAllValuesInTableOrder) {
    vGlimraSettings settings;
    const std::vector<std::string> lines =
        Lines(SettingsReport("/home/u/.config/glimracode/settings.reg", true, settings));
    ASSERT_EQ(lines.size(), 2 + GlimraSettingsTable.size());
    EXPECT_EQ(lines[0], "Settings file: /home/u/.config/glimracode/settings.reg");
    for (size_t i = 0; i < GlimraSettingsTable.size(); ++i)
        EXPECT_EQ(lines[2 + i].find("  " + std::string(GlimraSettingsTable[i].Name) + " "), 0u)
            << lines[2 + i];
}

TEST(SettingsReport, ShowsEachKindOfValueAsTheFileWouldHoldIt) {
    vGlimraSettings settings;
    settings.Delay = 2500;
    settings.Vertical = true;
    settings.CreatureStartColor = 0x00C6FF00;
    settings.FontName = "Some Face";
    const std::string report = SettingsReport("x", true, settings);
    EXPECT_NE(report.find("  Delay                  2500\n"), std::string::npos) << report;
    EXPECT_NE(report.find("  Vertical               1\n"), std::string::npos) << report;
    EXPECT_NE(report.find("  Creature Start Color   0x00C6FF00\n"), std::string::npos) << report;
    EXPECT_NE(report.find("  Font Name              \"Some Face\"\n"), std::string::npos) << report;
}

TEST(SettingsReport, ShowsHostileValuesAsStoredAndLongNamesWhole) {
    vGlimraSettings settings;
    settings.Saturation = -7;
    settings.StaticEndColor = 0xFFFFFFFF;
    settings.FontName = std::string(300, 'n');
    const std::string report = SettingsReport("x", true, settings);
    EXPECT_NE(report.find("  Saturation             -7\n"), std::string::npos) << report;
    EXPECT_NE(report.find("0xFFFFFFFF"), std::string::npos);
    EXPECT_NE(report.find("\"" + std::string(300, 'n') + "\"\n"), std::string::npos);
}

TEST(SettingsReport, SaysWhenTheFileIsMissing) {
    vGlimraSettings settings;
    EXPECT_NE(SettingsReport("x", false, settings).find("does not exist"), std::string::npos);
    EXPECT_EQ(SettingsReport("x", true, settings).find("does not exist"), std::string::npos);
}

TEST(SettingsReport, SaysWhyARefusedFileGaveTheDefaults) {
    const vGlimraSettings settings;
    const std::vector<std::string> refused =
        Lines(RefusedSettingsReport("/u/settings.reg", "is not a regular file", settings));
    const std::vector<std::string> read = Lines(SettingsReport("/u/settings.reg", true, settings));
    ASSERT_EQ(refused.size(), read.size());
    EXPECT_EQ(refused[1], "(the file is not a regular file, so it is not read; these are the defaults)");
    EXPECT_TRUE(std::equal(refused.begin() + 2, refused.end(), read.begin() + 2)) << "the same values follow";
}

} // namespace
