#pragma once

#include <gtk/gtk.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/gtk/GtkPreviewPane.h"
#include "platform/gtk/SaverPreviewProcess.h"
#include "settings/GlimraOptions.h"

class FileSettingsStore;

// The settings dialog drawn with GTK 3. The widgets only show values and forward the user's edits;
// GlimraOptions decides what each control holds and what OK saves. The caller has initialised GTK
// and installed store as the settings store; the constructor reads that store, as the dialog does
// nowhere else, and shows the window. OK writes through it, and asks it why a write failed.
//
// OK saves and closes; Cancel, Escape and the window's close button close without saving. A save
// that fails leaves the dialog open behind a modal error box that says why, when the settings file
// knows, else names the refused value. A Save waits SaveLockPatience at most for another program's.
//
// A page of Linux's own, beyond the 25 values, offers the idle watcher: OK writes or removes its
// autostart entry and stores its minutes beside the settings, as glimracode --autostart does.
//
// Beside the pages, whichever is open, a pane shows the animation with the values the controls hold,
// saved or not, and Preview shows them full screen in a saver of their own (saver names its file
// and the instance lock lent to it). Neither writes anything; closing ends both.
class GtkOptionsDialog final : public GlimraOptionsView {
public:
    static constexpr std::chrono::milliseconds SaveLockPatience{3000};

    struct SaverLaunch {
        std::string Program;
        int LockDescriptor = -1;
    };

    GtkOptionsDialog(FileSettingsStore& store, SaverLaunch saver);
    ~GtkOptionsDialog() override;
    GtkOptionsDialog(const GtkOptionsDialog&) = delete;
    GtkOptionsDialog& operator=(const GtkOptionsDialog&) = delete;

    // Runs GTK's main loop until the dialog has closed.
    void Run();
    [[nodiscard]] bool Closed() const { return m_closed; }
    [[nodiscard]] const GlimraOptions& Options() const { return m_options; }

    // The widgets, for the tests that drive the dialog as a user would.
    [[nodiscard]] GtkWindow* Window() const { return GTK_WINDOW(m_window); }
    [[nodiscard]] GtkNotebook* Pages() const { return GTK_NOTEBOOK(m_pages); }
    [[nodiscard]] GtkSpinButton* SpinButton(const GlimraSettingInfo& setting) const;
    [[nodiscard]] GtkToggleButton* CheckBox(const GlimraSettingInfo& setting) const;
    [[nodiscard]] GtkColorChooser* ColourPanel(const GlimraSettingInfo& setting) const;
    // The one-character sample beside "Start Char" or "End Char".
    [[nodiscard]] GtkLabel* CharacterSample(const GlimraSettingInfo& setting) const;
    [[nodiscard]] GtkLabel* FontSample() const { return GTK_LABEL(m_fontSample); }
    [[nodiscard]] GtkEntry* FaceBox() const { return GTK_ENTRY(m_faceBox); }
    [[nodiscard]] GtkButton* OkButton() const { return GTK_BUTTON(m_okButton); }
    [[nodiscard]] GtkButton* CancelButton() const { return GTK_BUTTON(m_cancelButton); }
    [[nodiscard]] GtkButton* DefaultsButton() const { return GTK_BUTTON(m_defaultsButton); }
    [[nodiscard]] GtkButton* ChangeFontButton() const { return GTK_BUTTON(m_changeFontButton); }
    [[nodiscard]] GtkToggleButton* IdleCheckBox() const { return GTK_TOGGLE_BUTTON(m_idleCheck); }
    [[nodiscard]] GtkSpinButton* IdleMinutesField() const { return GTK_SPIN_BUTTON(m_idleMinutes); }
    [[nodiscard]] GtkButton* PreviewButton() const { return GTK_BUTTON(m_previewButton); }
    [[nodiscard]] const GtkPreviewPane& Pane() const { return *m_pane; }
    [[nodiscard]] const SaverPreviewProcess& FullScreenPreview() const { return m_saver; }

    // The font chooser offers only faces that scale to any size, as the saver draws at any size.
    [[nodiscard]] static bool IsScalable(const PangoFontFace* face);
    // The text that shows byte code of a character sample in face: U+F000 + code for a face with a
    // symbol cmap (the glyphs of our bundled font sit there), otherwise the Windows-1252 character of
    // that byte. Empty for code 0 or a byte that code page leaves undefined.
    [[nodiscard]] static std::string SampleCharacter(PangoContext* context, const std::string& face,
                                                     uint8_t code);

    void ShowPosition(const GlimraSettingInfo& setting, int32_t position) override;
    void ShowChecked(const GlimraSettingInfo& setting, bool checked) override;
    void ShowColour(const GlimraSettingInfo& setting, uint32_t colour) override;
    void ShowFont(const std::string& face, int32_t points) override;
    void ShowSample(const GlimraSettingInfo& setting, const std::string& text) override;

private:
    // What a signal handler needs to know of the control that called it.
    struct Binding {
        GtkOptionsDialog* Dialog = nullptr;
        const GlimraSettingInfo* Setting = nullptr;
    };

    // The row of setting in GlimraSettingsTable, by which the widget arrays are indexed.
    static size_t Row(const GlimraSettingInfo& setting);
    GtkWidget* BuildGeneralPage();
    GtkWidget* BuildCreaturePage();
    GtkWidget* BuildStaticPage();
    GtkWidget* BuildIdlePage();
    GtkWidget* NumberField(GtkGrid* grid, int row, const char* label, GlimraSettingId setting);
    GtkWidget* ColourPanel(GtkGrid* grid, int row, const char* label, GlimraSettingId setting);
    GtkWidget* CharacterSample(GlimraSettingId setting);
    Binding* Bind(GlimraSettingId setting);
    void RedrawSamples();

    // Every edit ends here, so that the pane follows the controls.
    void ControlsChanged();
    void Preview();
    void Ok();
    void Cancel();
    void ChangeFont();
    void ShowError(const std::string& message);
    [[nodiscard]] std::string StoreIdleChoice();

    static void OnSpinChanged(GtkEditable* editable, Binding* binding);
    static void OnToggled(GtkToggleButton* button, Binding* binding);
    static void OnColourSet(GtkColorButton* button, Binding* binding);
    static gboolean OnKeyPress(GtkWidget* window, GdkEventKey* event, GtkOptionsDialog* dialog);
    static gboolean OnDelete(GtkWidget* window, GdkEvent* event, GtkOptionsDialog* dialog);
    static void OnFontResponse(GtkDialog* chooser, gint response, GtkOptionsDialog* dialog);

    FileSettingsStore& m_store;
    // Before the options, whose loading already shows values in the pane.
    std::unique_ptr<GtkPreviewPane> m_pane = std::make_unique<GtkPreviewPane>();
    SaverPreviewProcess m_saver;
    GlimraOptions m_options{*this};
    std::array<Binding, GlimraSettingsTable.size()> m_bindings{};
    // By row of GlimraSettingsTable: the control of each setting that has one.
    std::array<GtkWidget*, GlimraSettingsTable.size()> m_controls{};
    // The sample labels of the character pairs, by row, and the one byte each shows.
    std::array<GtkWidget*, GlimraSettingsTable.size()> m_samples{};
    std::array<std::string, GlimraSettingsTable.size()> m_sampleBytes{};
    std::string m_face;
    int32_t m_points = 0;

    GtkWidget* m_window = nullptr;
    GtkWidget* m_pages = nullptr;
    GtkWidget* m_faceBox = nullptr;
    GtkWidget* m_fontSample = nullptr;
    GtkWidget* m_okButton = nullptr;
    GtkWidget* m_cancelButton = nullptr;
    GtkWidget* m_defaultsButton = nullptr;
    GtkWidget* m_changeFontButton = nullptr;
    GtkWidget* m_idleCheck = nullptr;
    GtkWidget* m_idleMinutes = nullptr;
    GtkWidget* m_previewButton = nullptr;
    bool m_closed = false;
    bool m_running = false;
    // Set while the dialog itself writes a spin button's text, so that GTK's echo of it is not
    // taken for a fresh edit that needs syncing back.
    bool m_showing = false;
};
