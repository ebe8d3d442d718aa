// What the settings dialog's controls do once its pages are built (GtkOptionsDialogPages.cpp): show
// the values the logic hands them, forward edits, and save or close.

#include "platform/gtk/GtkOptionsDialog.h"

#include <hb.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "platform/gtk/GtkScreen.h"
#include "platform/gtk/PreviewOptions.h"
#include "platform/idle/IdleMode.h"
#include "platform/posix/FileSettingsStore.h"
#include "shell/GlimraCode.h"

namespace {

GdkRGBA RgbaFromColour(uint32_t colour) {
    return GdkRGBA{(colour & 0xFF) / 255.0, ((colour >> 8) & 0xFF) / 255.0, ((colour >> 16) & 0xFF) / 255.0,
                   1.0};
}

uint32_t ColourFromRgba(const GdkRGBA& rgba) {
    const auto channel = [](double value) {
        return static_cast<uint32_t>(std::lround(std::clamp(value, 0.0, 1.0) * 255.0));
    };
    return channel(rgba.red) | channel(rgba.green) << 8 | channel(rgba.blue) << 16;
}

using FontDescription = std::unique_ptr<PangoFontDescription, decltype(&pango_font_description_free)>;

FontDescription Describe(const std::string& face, int32_t points, bool bold) {
    FontDescription description(pango_font_description_new(), &pango_font_description_free);
    pango_font_description_set_family(description.get(), face.c_str());
    if (points > 0)
        pango_font_description_set_size(description.get(), points * PANGO_SCALE);
    if (bold)
        pango_font_description_set_weight(description.get(), PANGO_WEIGHT_BOLD);
    return description;
}

// A label takes its face from attributes, not from the theme, so the samples follow the chooser.
// Points become pixels as they do in the saver: GTK takes the density from the Xft.dpi resource on
// X11 and multiplies by the output's scale on Wayland.
void SetLabelFont(GtkWidget* label, const std::string& face, int32_t points) {
    PangoAttrList* attributes = pango_attr_list_new();
    pango_attr_list_insert(attributes, pango_attr_font_desc_new(Describe(face, points, true).get()));
    gtk_label_set_attributes(GTK_LABEL(label), attributes);
    pango_attr_list_unref(attributes);
}

// Whether the cmap table holds a Microsoft Symbol subtable (platform 3, encoding 0).
bool HasSymbolCmap(PangoFont* font) {
    hb_font_t* hbFont = pango_font_get_hb_font(font);
    if (hbFont == nullptr)
        return false;
    hb_blob_t* blob = hb_face_reference_table(hb_font_get_face(hbFont), HB_TAG('c', 'm', 'a', 'p'));
    unsigned length = 0;
    const auto* data = reinterpret_cast<const uint8_t*>(hb_blob_get_data(blob, &length));
    const auto word = [data](unsigned at) { return static_cast<unsigned>(data[at] << 8 | data[at + 1]); };
    bool symbol = false;
    if (data != nullptr && length >= 4) {
        const unsigned tables = word(2);
        for (unsigned i = 0; i < tables && 4 + 8 * i + 4 <= length && !symbol; ++i)
            symbol = word(4 + 8 * i) == 3 && word(4 + 8 * i + 2) == 0;
    }
    hb_blob_destroy(blob);
    return symbol;
}

gboolean KeepScalable(const PangoFontFamily*, const PangoFontFace* face, gpointer) {
    return GtkOptionsDialog::IsScalable(face) ? TRUE : FALSE;
}

} // namespace

size_t GtkOptionsDialog::Row(const GlimraSettingInfo& setting) {
    return static_cast<size_t>(&setting - GlimraSettingsTable.data());
}

GtkOptionsDialog::~GtkOptionsDialog() {
    m_closed = true;
    gtk_widget_destroy(m_window);
}

void GtkOptionsDialog::ControlsChanged() {
    if (!m_closed)
        m_pane->Show(PreviewOptions(m_options));
}

void GtkOptionsDialog::Preview() {
    if (m_closed || m_saver.Running())
        return;
    std::string problem;
    const bool started = m_saver.Start(
        SaverDisplayFlag(m_window), PreviewOptions(m_options),
        [this] {
            gtk_widget_set_sensitive(m_previewButton, TRUE);
            m_pane->SetPaused(false);
        },
        problem);
    if (!started) {
        ShowError("The preview cannot start: " + problem);
        return;
    }
    gtk_widget_set_sensitive(m_previewButton, FALSE);
    m_pane->SetPaused(true);
}

GtkSpinButton* GtkOptionsDialog::SpinButton(const GlimraSettingInfo& setting) const {
    return GTK_SPIN_BUTTON(m_controls[Row(setting)]);
}

GtkToggleButton* GtkOptionsDialog::CheckBox(const GlimraSettingInfo& setting) const {
    return GTK_TOGGLE_BUTTON(m_controls[Row(setting)]);
}

GtkColorChooser* GtkOptionsDialog::ColourPanel(const GlimraSettingInfo& setting) const {
    return GTK_COLOR_CHOOSER(m_controls[Row(setting)]);
}

GtkLabel* GtkOptionsDialog::CharacterSample(const GlimraSettingInfo& setting) const {
    return GTK_LABEL(m_samples[Row(setting)]);
}

void GtkOptionsDialog::Run() {
    if (m_closed)
        return;
    m_running = true;
    gtk_main();
    m_running = false;
}

bool GtkOptionsDialog::IsScalable(const PangoFontFace* face) {
    int* sizes = nullptr;
    int count = 0;
    // Pango lists sizes only for faces that come in fixed sizes.
    pango_font_face_list_sizes(const_cast<PangoFontFace*>(face), &sizes, &count);
    const bool scalable = sizes == nullptr;
    g_free(sizes);
    return scalable;
}

std::string GtkOptionsDialog::SampleCharacter(PangoContext* context, const std::string& face, uint8_t code) {
    if (code == 0)
        return {};
    bool symbol = false;
    if (PangoFont* font = pango_context_load_font(context, Describe(face, 0, false).get())) {
        symbol = HasSymbolCmap(font);
        g_object_unref(font);
    }
    if (symbol) {
        char text[8] = {};
        g_unichar_to_utf8(0xF000 + code, text);
        return text;
    }
    const char byte = static_cast<char>(code);
    gchar* converted = g_convert(&byte, 1, "UTF-8", "WINDOWS-1252", nullptr, nullptr, nullptr);
    std::string text = converted != nullptr ? converted : "";
    g_free(converted);
    return text;
}

void GtkOptionsDialog::ShowPosition(const GlimraSettingInfo& setting, int32_t position) {
    GtkSpinButton* spin = SpinButton(setting);
    m_showing = true;
    gtk_spin_button_set_value(spin, position);
    // The value may already be the adjustment's while the text still shows an invalid entry.
    const std::string text = std::to_string(position);
    if (text != gtk_entry_get_text(GTK_ENTRY(spin)))
        gtk_entry_set_text(GTK_ENTRY(spin), text.c_str());
    m_showing = false;
}

void GtkOptionsDialog::ShowChecked(const GlimraSettingInfo& setting, bool checked) {
    gtk_toggle_button_set_active(CheckBox(setting), checked ? TRUE : FALSE);
}

void GtkOptionsDialog::ShowColour(const GlimraSettingInfo& setting, uint32_t colour) {
    const GdkRGBA rgba = RgbaFromColour(colour);
    gtk_color_chooser_set_rgba(ColourPanel(setting), &rgba);
}

void GtkOptionsDialog::ShowFont(const std::string& face, int32_t points) {
    m_face = face;
    m_points = points;
    gtk_entry_set_text(GTK_ENTRY(m_faceBox), face.c_str());
    SetLabelFont(m_fontSample, face, points);
    RedrawSamples();
}

void GtkOptionsDialog::ShowSample(const GlimraSettingInfo& setting, const std::string& text) {
    m_sampleBytes[Row(setting)] = text;
    RedrawSamples();
}

void GtkOptionsDialog::RedrawSamples() {
    for (size_t row = 0; row < m_samples.size(); ++row) {
        if (m_samples[row] == nullptr)
            continue;
        const std::string& bytes = m_sampleBytes[row];
        const uint8_t code = bytes.empty() ? 0 : static_cast<uint8_t>(bytes.front());
        SetLabelFont(m_samples[row], m_face, m_points);
        const std::string text = SampleCharacter(gtk_widget_get_pango_context(m_samples[row]), m_face, code);
        gtk_label_set_text(GTK_LABEL(m_samples[row]), text.c_str());
    }
}

void GtkOptionsDialog::Ok() {
    // Another program's Save can hold the settings for a while: the dialog keeps drawing and can be
    // closed (a signal closes it as Cancel does) while it waits, but takes no second Ok meanwhile.
    m_store.SetLockWait(SaveLockPatience, [this] {
        while (!m_closed && g_main_context_iteration(nullptr, FALSE)) {
        }
        return !m_closed;
    });
    gtk_widget_set_sensitive(m_window, FALSE);
    std::string failure;
    try {
        m_options.StoreControls();
        failure = StoreIdleChoice();
        if (!failure.empty() && !m_store.WriteProblem().empty())
            failure = m_store.WriteProblem();
    } catch (const GlimraSettingsError& error) {
        failure = !m_store.WriteProblem().empty() ? m_store.WriteProblem() : error.what();
    }
    // The store outlives the dialog, and must not call back into it.
    m_store.SetLockWait(std::nullopt);
    gtk_widget_set_sensitive(m_window, TRUE);
    if (m_closed)
        return;
    if (!failure.empty()) {
        ShowError(failure);
        return;
    }
    Cancel();
}

std::string GtkOptionsDialog::StoreIdleChoice() {
    GtkSpinButton* minutes = IdleMinutesField();
    // Text typed but not yet taken, as when Enter presses Ok from the field.
    gtk_spin_button_update(minutes);
    const bool on = gtk_toggle_button_get_active(IdleCheckBox()) != FALSE;
    return SetIdleAutostart(m_store, on,
                            on ? std::optional(gtk_spin_button_get_value_as_int(minutes)) : std::nullopt);
}

void GtkOptionsDialog::Cancel() {
    if (m_closed)
        return;
    m_closed = true;
    m_saver.End();
    m_pane->SetPaused(true);
    gtk_widget_hide(m_window);
    if (m_running)
        gtk_main_quit();
}

void GtkOptionsDialog::ShowError(const std::string& message) {
    GtkWidget* box = gtk_message_dialog_new(
        GTK_WINDOW(m_window), static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
        GTK_MESSAGE_ERROR, GTK_BUTTONS_OK, "%s", message.c_str());
    gtk_window_set_title(GTK_WINDOW(box), ApplicationTitle);
    g_signal_connect(box, "response", G_CALLBACK(gtk_widget_destroy), nullptr);
    gtk_widget_show(box);
}

void GtkOptionsDialog::ChangeFont() {
    GtkWidget* chooser = gtk_font_chooser_dialog_new("Font", GTK_WINDOW(m_window));
    gtk_window_set_modal(GTK_WINDOW(chooser), TRUE);
    gtk_window_set_destroy_with_parent(GTK_WINDOW(chooser), TRUE);
    gtk_font_chooser_set_filter_func(GTK_FONT_CHOOSER(chooser), KeepScalable, nullptr, nullptr);
    gtk_font_chooser_set_font_desc(GTK_FONT_CHOOSER(chooser), Describe(m_face, m_points, false).get());
    g_signal_connect(chooser, "response", G_CALLBACK(OnFontResponse), this);
    gtk_widget_show(chooser);
}

void GtkOptionsDialog::OnFontResponse(GtkDialog* chooser, gint response, GtkOptionsDialog* dialog) {
    if (response == GTK_RESPONSE_OK) {
        FontDescription chosen(gtk_font_chooser_get_font_desc(GTK_FONT_CHOOSER(chooser)),
                               &pango_font_description_free);
        const char* family = chosen ? pango_font_description_get_family(chosen.get()) : nullptr;
        if (family != nullptr) {
            int32_t points = dialog->m_points;
            if (const gint size = pango_font_description_get_size(chosen.get()); size > 0)
                points = static_cast<int32_t>(std::lround(static_cast<double>(size) / PANGO_SCALE));
            dialog->m_options.FontChosen(family, points);
            dialog->ControlsChanged();
        }
    }
    gtk_widget_destroy(GTK_WIDGET(chooser));
}

void GtkOptionsDialog::OnSpinChanged(GtkEditable* editable, Binding* binding) {
    GtkOptionsDialog& dialog = *binding->Dialog;
    if (dialog.m_closed)
        return;
    dialog.m_options.EditChanged(*binding->Setting, gtk_entry_get_text(GTK_ENTRY(editable)));
    dialog.ControlsChanged();
    if (dialog.m_showing)
        return;
    // GTK restores the adjustment's value when the field loses focus with text it rejects; keeping
    // the adjustment at the options' position makes that the last valid position too.
    GtkSpinButton* spin = GTK_SPIN_BUTTON(editable);
    const int32_t position = dialog.m_options.Position(*binding->Setting);
    if (gtk_spin_button_get_value_as_int(spin) != position) {
        dialog.m_showing = true;
        gtk_spin_button_set_value(spin, position);
        dialog.m_showing = false;
    }
}

void GtkOptionsDialog::OnToggled(GtkToggleButton* button, Binding* binding) {
    if (binding->Dialog->m_closed)
        return;
    binding->Dialog->m_options.SetChecked(*binding->Setting, gtk_toggle_button_get_active(button) != FALSE);
    binding->Dialog->ControlsChanged();
}

void GtkOptionsDialog::OnColourSet(GtkColorButton* button, Binding* binding) {
    GdkRGBA rgba{};
    gtk_color_chooser_get_rgba(GTK_COLOR_CHOOSER(button), &rgba);
    binding->Dialog->m_options.SetColour(*binding->Setting, ColourFromRgba(rgba));
    binding->Dialog->ControlsChanged();
}

gboolean GtkOptionsDialog::OnKeyPress(GtkWidget*, GdkEventKey* event, GtkOptionsDialog* dialog) {
    if (event->keyval != GDK_KEY_Escape)
        return FALSE;
    dialog->Cancel();
    return TRUE;
}

gboolean GtkOptionsDialog::OnDelete(GtkWidget*, GdkEvent*, GtkOptionsDialog* dialog) {
    dialog->Cancel();
    return TRUE;
}
