#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/OptionsDialog.h"
#include "platform/win32/RegistrySettingsStore.h"
#include "resource.h"
#include "support/MemorySettingsStore.h"

namespace {

struct RegistryValue {
    DWORD Type = 0;
    std::vector<BYTE> Data;
};

// HKEY_CURRENT_USER is a scratch key for each test (RegOverridePredefKey): the dialog reads and
// writes the real registry, and the user's own settings are never touched.
class ScratchRegistry {
public:
    ScratchRegistry() {
        m_path = "Software\\GlimraCodeTests\\dialog-" + std::to_string(GetCurrentProcessId()) + "-" +
                 std::to_string(s_count++);
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &m_scratch, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, m_scratch), ERROR_SUCCESS);
    }
    ~ScratchRegistry() {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegCloseKey(m_scratch);
        RegDeleteTreeA(HKEY_CURRENT_USER, m_path.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\GlimraCodeTests");
    }
    ScratchRegistry(const ScratchRegistry&) = delete;
    ScratchRegistry& operator=(const ScratchRegistry&) = delete;

    std::optional<RegistryValue> Get(const char* name) const {
        HKEY key = nullptr;
        if (RegOpenKeyExA(m_scratch, std::string(SettingsKeyPath).c_str(), 0, KEY_READ, &key) !=
            ERROR_SUCCESS)
            return std::nullopt;
        RegistryValue value;
        DWORD size = 0;
        std::optional<RegistryValue> result;
        if (RegQueryValueExA(key, name, nullptr, &value.Type, nullptr, &size) == ERROR_SUCCESS) {
            value.Data.resize(size);
            if (RegQueryValueExA(key, name, nullptr, &value.Type, value.Data.data(), &size) == ERROR_SUCCESS)
                result = value;
        }
        RegCloseKey(key);
        return result;
    }
    std::optional<int32_t> Number(const char* name) const {
        const auto value = Get(name);
        if (!value || value->Type != REG_DWORD || value->Data.size() != 4)
            return std::nullopt;
        int32_t number = 0;
        std::memcpy(&number, value->Data.data(), 4);
        return number;
    }
    void PutNumber(const char* name, uint32_t number) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(m_scratch, std::string(SettingsKeyPath).c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    DWORD ValueCount() const {
        HKEY key = nullptr;
        if (RegOpenKeyExA(m_scratch, std::string(SettingsKeyPath).c_str(), 0, KEY_READ, &key) !=
            ERROR_SUCCESS)
            return 0;
        DWORD count = 0;
        RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                         nullptr, nullptr);
        RegCloseKey(key);
        return count;
    }

private:
    static inline int s_count = 0;
    std::string m_path;
    HKEY m_scratch = nullptr;
};

class OptionsDialogTest : public ::testing::Test {
protected:
    void SetUp() override { InstallSettingsStore(&m_store); }
    void TearDown() override {
        m_form.reset();
        InstallSettingsStore(nullptr);
    }

    // Makes the dialog, which reads the registry as it is now.
    void Open() {
        m_form = std::make_unique<TGlimraOpts>();
        m_form->SetErrorBox([this](HWND, const char* message) { m_errors.emplace_back(message); });
        ASSERT_TRUE(m_form->Create(GetModuleHandleA(nullptr)));
    }
    HWND Dialog() const { return m_form->Window(); }
    HWND Control(int id) const { return GetDlgItem(Dialog(), id); }
    std::string Text(int id) const {
        std::string text(static_cast<size_t>(GetWindowTextLengthA(Control(id))) + 1, '\0');
        text.resize(
            static_cast<size_t>(GetDlgItemTextA(Dialog(), id, text.data(), static_cast<int>(text.size()))));
        return text;
    }
    // As typing does: the edit box tells the dialog that its text changed.
    void Type(int id, const char* text) { SetDlgItemTextA(Dialog(), id, text); }
    void Click(int id) { SendMessageA(Control(id), BM_CLICK, 0, 0); }
    void Key(int id, WPARAM key) {
        SendMessageA(Control(id), WM_KEYDOWN, key, 1);
        SendMessageA(Control(id), WM_KEYUP, key, 0xC0000001);
    }
    int32_t UpDownPosition(int id) const {
        return static_cast<int32_t>(SendMessageA(Control(id), UDM_GETPOS32, 0, 0));
    }
    void SaveRecord(const vGlimraSettings& settings) {
        vGlimraSettings copy = settings;
        copy.Save(m_store);
    }

    ScratchRegistry m_registry;
    RegistrySettingsStore m_store;
    std::unique_ptr<TGlimraOpts> m_form;
    std::vector<std::string> m_errors;
};

TEST_F(OptionsDialogTest, StoredValuesOutOfRangeAreShownAndSavedLimited) {
    vGlimraSettings stored;
    stored.Delay = 6000;
    stored.Creature = -5;
    stored.Saturation = 70000; // 4464 in 16 bits, limited to 100
    SaveRecord(stored);
    Open();
    EXPECT_EQ(Text(IDC_TICKDELAYEDIT), "5000");
    EXPECT_EQ(UpDownPosition(IDC_TICKDELAYUPDOWN), 5000);
    EXPECT_EQ(Text(IDC_CREATUREWEIGHT), "0");
    EXPECT_EQ(Text(IDC_COLSATEDIT), "100");
    Click(IDOK);
    EXPECT_TRUE(m_form->Ended());
    EXPECT_EQ(m_registry.Number("Delay"), 5000);
    EXPECT_EQ(m_registry.Number("Creature"), 0);
    EXPECT_EQ(m_registry.Number("Saturation"), 100);
}

TEST_F(OptionsDialogTest, OnlyTheLowSixteenBitsOfAStoredValueReachThePair) {
    m_registry.PutNumber("Delay", 70000);
    Open();
    EXPECT_EQ(Text(IDC_TICKDELAYEDIT), "4464");
    Click(IDOK);
    EXPECT_EQ(m_registry.Number("Delay"), 4464);
}

TEST_F(OptionsDialogTest, TextOutOfRangeKeepsTheLastValidPositionAndSample) {
    Open();
    Type(IDC_STARTCHAREDIT, "65");
    EXPECT_EQ(Text(IDC_STARTCHARSAMPLE), "A");
    Type(IDC_STARTCHAREDIT, "300");
    EXPECT_EQ(Text(IDC_STARTCHAREDIT), "300");
    EXPECT_EQ(UpDownPosition(IDC_STARTCHARUPDOWN), 65);
    EXPECT_EQ(Text(IDC_STARTCHARSAMPLE), "A");
    Click(IDOK);
    EXPECT_EQ(m_registry.Number("Start Char"), 65);
}

TEST_F(OptionsDialogTest, ArrowKeysStepByOneWithoutWrapping) {
    m_registry.PutNumber("Delay", 5000);
    Open();
    Key(IDC_TICKDELAYEDIT, VK_UP);
    EXPECT_EQ(Text(IDC_TICKDELAYEDIT), "5000");
    Key(IDC_TICKDELAYEDIT, VK_DOWN);
    EXPECT_EQ(Text(IDC_TICKDELAYEDIT), "4999");
    Type(IDC_ENDCHAREDIT, "0");
    Key(IDC_ENDCHAREDIT, VK_DOWN);
    EXPECT_EQ(Text(IDC_ENDCHAREDIT), "0");
    Key(IDC_ENDCHAREDIT, VK_UP);
    EXPECT_EQ(Text(IDC_ENDCHAREDIT), "1");
    Click(IDOK);
    EXPECT_EQ(m_registry.Number("Delay"), 4999);
    EXPECT_EQ(m_registry.Number("End Char"), 1);
}

TEST_F(OptionsDialogTest, DefaultsThenCancelLeavesTheRegistryAsItWas) {
    m_registry.PutNumber("Delay", 900);
    Open();
    EXPECT_EQ(Text(IDC_TICKDELAYEDIT), "900");
    Click(IDC_DEFAULTBUTTON);
    EXPECT_EQ(Text(IDC_TICKDELAYEDIT), "100");
    EXPECT_FALSE(m_form->Ended());
    Click(IDCANCEL);
    EXPECT_TRUE(m_form->Ended());
    EXPECT_EQ(m_registry.Number("Delay"), 900);
    EXPECT_EQ(m_registry.ValueCount(), 1u);
}

TEST_F(OptionsDialogTest, TheCloseBoxEndsWithoutSaving) {
    Open();
    Type(IDC_TICKDELAYEDIT, "250");
    SendMessageA(Dialog(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(m_form->Ended());
    EXPECT_EQ(m_registry.ValueCount(), 0u);
}

// Keys as the message loop gets them from the system: bit 30 of lParam says the key was already down.
constexpr LPARAM FreshPress = 0x001C0001;
constexpr LPARAM Repeat = FreshPress | (1 << 30);

TEST_F(OptionsDialogTest, AKeyHeldSinceBeforeTheDialogShowedPressesNothing) {
    Open();
    // Enter still held from a dialog that closed a moment before repeats into this one.
    PostMessageA(Control(IDC_TICKDELAYEDIT), WM_KEYDOWN, VK_RETURN, Repeat);
    PostMessageA(Control(IDC_TICKDELAYEDIT), WM_KEYDOWN, VK_RETURN, Repeat);
    PostMessageA(Control(IDC_TICKDELAYEDIT), WM_KEYUP, VK_RETURN, Repeat | (1u << 31));
    PostMessageA(Control(IDC_TICKDELAYEDIT), WM_KEYDOWN, VK_ESCAPE, FreshPress);
    m_form->RunMessageLoop();
    EXPECT_TRUE(m_form->Ended());
    EXPECT_EQ(m_registry.ValueCount(), 0u) << "the held Enter pressed Ok";
}

TEST_F(OptionsDialogTest, AKeyPressedWhileShownActsAndSoDoItsRepeats) {
    m_registry.PutNumber("Delay", 10);
    Open();
    PostMessageA(Control(IDC_TICKDELAYEDIT), WM_KEYDOWN, VK_UP, FreshPress);
    PostMessageA(Control(IDC_TICKDELAYEDIT), WM_KEYDOWN, VK_UP, Repeat);
    PostMessageA(Control(IDC_TICKDELAYEDIT), WM_KEYUP, VK_UP, Repeat | (1u << 31));
    PostMessageA(Control(IDC_TICKDELAYEDIT), WM_KEYDOWN, VK_RETURN, FreshPress);
    m_form->RunMessageLoop();
    EXPECT_TRUE(m_form->Ended());
    EXPECT_EQ(m_registry.Number("Delay"), 12);
    EXPECT_EQ(m_registry.ValueCount(), 25u);
}

TEST_F(OptionsDialogTest, DefaultsThenOkWritesAllTwentyFiveDefaultsWithTheirTypes) {
    vGlimraSettings stored;
    stored.Delay = 1;
    stored.FontName = "Arial";
    stored.Horizontal = false;
    stored.StaticEndColor = 0x00FF00FF;
    SaveRecord(stored);
    Open();
    Click(IDC_DEFAULTBUTTON);
    Click(IDOK);
    EXPECT_EQ(m_registry.ValueCount(), 25u);
    for (const GlimraSettingInfo& setting : GlimraSettingsTable) {
        const auto value = m_registry.Get(std::string(setting.Name).c_str());
        ASSERT_TRUE(value.has_value()) << setting.Name;
        EXPECT_EQ(value->Type, setting.IsText() ? DWORD{REG_SZ} : DWORD{REG_DWORD}) << setting.Name;
    }
    vGlimraSettings saved;
    saved.Load(m_store);
    EXPECT_EQ(saved, vGlimraSettings());
}

TEST_F(OptionsDialogTest, AStartCharacterAboveTheEndIsSavedAsEntered) {
    Open();
    Type(IDC_STARTCHAREDIT, "200");
    Type(IDC_ENDCHAREDIT, "100");
    Click(IDOK);
    EXPECT_EQ(m_registry.Number("Start Char"), 200);
    EXPECT_EQ(m_registry.Number("End Char"), 100);
}

TEST_F(OptionsDialogTest, CharacterSamplesShowThePositionsCodeAndNothingForZero) {
    Open();
    EXPECT_EQ(Text(IDC_STARTCHARSAMPLE), std::string(1, static_cast<char>(193)));
    EXPECT_EQ(Text(IDC_ENDCHARSAMPLE), std::string(1, static_cast<char>(237)));
    Type(IDC_STARTCHAREDIT, "0");
    EXPECT_EQ(Text(IDC_STARTCHARSAMPLE), "");
    Type(IDC_ENDCHAREDIT, "38");
    EXPECT_EQ(Text(IDC_ENDCHARSAMPLE), "&");
}

TEST_F(OptionsDialogTest, ABoldItalicFontChoiceStoresOnlyFaceAndSize) {
    Open();
    CHOOSEFONTA asked{};
    LOGFONTA askedFont{};
    m_form->SetFontChooser([&](CHOOSEFONTA& chooser) {
        asked = chooser;
        askedFont = *chooser.lpLogFont;
        LOGFONTA& font = *chooser.lpLogFont;
        std::strcpy(font.lfFaceName, "Courier New");
        font.lfWeight = FW_BOLD;
        font.lfItalic = TRUE;
        font.lfUnderline = TRUE;
        font.lfHeight = -19;
        chooser.iPointSize = 140;
        chooser.rgbColors = RGB(255, 0, 0);
        chooser.nFontType = BOLD_FONTTYPE | ITALIC_FONTTYPE | SCREEN_FONTTYPE;
        return true;
    });
    Click(IDC_CHANGEFONTBUTTON);
    EXPECT_TRUE(asked.Flags & CF_TTONLY);
    EXPECT_FALSE(asked.Flags & CF_LIMITSIZE);
    EXPECT_STREQ(askedFont.lfFaceName, "Japanese Generic1");
    EXPECT_EQ(asked.iPointSize, 100);
    EXPECT_EQ(Text(IDC_FONTNAMEEDIT), "Courier New");
    LOGFONTA shown{};
    const auto font = reinterpret_cast<HFONT>(SendMessageA(Control(IDC_STARTCHARSAMPLE), WM_GETFONT, 0, 0));
    ASSERT_EQ(GetObjectA(font, sizeof shown, &shown), static_cast<int>(sizeof shown));
    EXPECT_STREQ(shown.lfFaceName, "Courier New");
    EXPECT_FALSE(shown.lfItalic);
    Click(IDOK);
    EXPECT_EQ(m_registry.ValueCount(), 25u);
    const auto name = m_registry.Get("Font Name");
    ASSERT_TRUE(name.has_value());
    EXPECT_EQ(std::string(name->Data.begin(), name->Data.end()), std::string("Courier New", 12));
    EXPECT_EQ(m_registry.Number("Font Size"), 14);
}

TEST_F(OptionsDialogTest, AFontChoiceCancelledChangesNothing) {
    Open();
    m_form->SetFontChooser([](CHOOSEFONTA& chooser) {
        std::strcpy(chooser.lpLogFont->lfFaceName, "Courier New");
        chooser.iPointSize = 140;
        return false;
    });
    Click(IDC_CHANGEFONTBUTTON);
    EXPECT_EQ(Text(IDC_FONTNAMEEDIT), "Japanese Generic1");
}

TEST_F(OptionsDialogTest, AColourPanelOpensTheFullChooserAndTakesItsAnswer) {
    Open();
    CHOOSECOLORA asked{};
    COLORREF answer = RGB(0x12, 0x34, 0x56);
    bool confirm = true;
    m_form->SetColourChooser([&](CHOOSECOLORA& chooser) {
        asked = chooser;
        chooser.rgbResult = answer;
        return confirm;
    });
    SendMessageA(Dialog(), WM_COMMAND, MAKEWPARAM(IDC_STATICMIDCOLOR, STN_CLICKED),
                 reinterpret_cast<LPARAM>(Control(IDC_STATICMIDCOLOR)));
    EXPECT_EQ(asked.rgbResult, 0x00C6FF00u);
    EXPECT_EQ(asked.Flags & (CC_FULLOPEN | CC_ANYCOLOR | CC_RGBINIT),
              DWORD{CC_FULLOPEN | CC_ANYCOLOR | CC_RGBINIT});
    confirm = false;
    answer = RGB(1, 2, 3);
    SendMessageA(Dialog(), WM_COMMAND, MAKEWPARAM(IDC_ENDCOLORPANEL, STN_CLICKED),
                 reinterpret_cast<LPARAM>(Control(IDC_ENDCOLORPANEL)));
    EXPECT_EQ(asked.rgbResult, 0x00008000u);
    Click(IDOK);
    EXPECT_EQ(m_registry.Number("Static Mid Color"), 0x00563412);
    EXPECT_EQ(m_registry.Number("Creature End Color"), 0x00008000);
}

TEST_F(OptionsDialogTest, CheckBoxesHoldTheFlips) {
    Open();
    EXPECT_EQ(IsDlgButtonChecked(Dialog(), IDC_HFLIPCHECK), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(Dialog(), IDC_VFLIPCHECK), BST_UNCHECKED);
    Click(IDC_HFLIPCHECK);
    Click(IDC_VFLIPCHECK);
    Click(IDOK);
    EXPECT_EQ(m_registry.Number("Horizontal"), 0);
    EXPECT_EQ(m_registry.Number("Vertical"), 1);
}

TEST_F(OptionsDialogTest, ARefusedSaveShowsItsMessageAndTheDialogStaysOpen) {
    MemorySettingsStore refusing;
    refusing.FailWritingOf("Creature");
    InstallSettingsStore(&refusing);
    Open();
    Click(IDOK);
    EXPECT_FALSE(m_form->Ended());
    EXPECT_TRUE(IsWindow(Dialog()));
    ASSERT_EQ(m_errors.size(), 1u);
    EXPECT_EQ(m_errors[0], "Failed to set data for 'Creature'");
    EXPECT_TRUE(refusing.FindValue(SettingsKeyPath, "Delay").has_value());
    m_form.reset();
}

TEST_F(OptionsDialogTest, TheFrameHasItsCaptionSizeAndPagesInOrder) {
    Open();
    char caption[64] = {};
    GetWindowTextA(Dialog(), caption, sizeof caption);
    EXPECT_STREQ(caption, "vGlimra Screen Saver");
    const auto style = static_cast<DWORD>(GetWindowLongPtrA(Dialog(), GWL_STYLE));
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    RECT client{};
    GetClientRect(Dialog(), &client);
    EXPECT_EQ(client.right, MulDiv(401, dpi, 96));
    EXPECT_EQ(client.bottom, MulDiv(458, dpi, 96));

    const std::vector<std::string> pages{"General Settings", "Creature", "Sweeper", "Static", "About"};
    ASSERT_EQ(SendMessageA(Control(IDC_OPTIONPAGES), TCM_GETITEMCOUNT, 0, 0), 5);
    for (int page = 0; page < 5; ++page) {
        char text[64] = {};
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(Control(IDC_OPTIONPAGES), TCM_GETITEMA, page, reinterpret_cast<LPARAM>(&item));
        EXPECT_EQ(text, pages[static_cast<size_t>(page)]);
    }
    EXPECT_EQ(GetWindowLongPtrA(Control(IDOK), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_EQ(Text(IDC_DEFAULTBUTTON), "Defaults");
    EXPECT_EQ(Text(IDOK), "Ok");
    EXPECT_EQ(Text(IDCANCEL), "Cancel");
    EXPECT_NE(Text(IDC_MEMO1).find("SEVERAL MONITORS"), std::string::npos);
}

TEST_F(OptionsDialogTest, ClickingATabShowsOnlyThatPagesControls) {
    Open();
    EXPECT_TRUE(IsWindowVisible(Control(IDC_TICKDELAYEDIT)));
    EXPECT_FALSE(IsWindowVisible(Control(IDC_MEMO1)));
    RECT tab{};
    SendMessageA(Control(IDC_OPTIONPAGES), TCM_GETITEMRECT, 4, reinterpret_cast<LPARAM>(&tab));
    const LPARAM point = MAKELPARAM((tab.left + tab.right) / 2, (tab.top + tab.bottom) / 2);
    SendMessageA(Control(IDC_OPTIONPAGES), WM_LBUTTONDOWN, MK_LBUTTON, point);
    SendMessageA(Control(IDC_OPTIONPAGES), WM_LBUTTONUP, 0, point);
    EXPECT_EQ(SendMessageA(Control(IDC_OPTIONPAGES), TCM_GETCURSEL, 0, 0), 4);
    EXPECT_TRUE(IsWindowVisible(Control(IDC_MEMO1)));
    EXPECT_FALSE(IsWindowVisible(Control(IDC_TICKDELAYEDIT)));
    EXPECT_FALSE(IsWindowVisible(Control(IDC_TICKDELAYUPDOWN)));
    EXPECT_FALSE(IsWindowVisible(Control(IDC_SWEEPERLABEL)));
}

} // namespace
