#include "platform/gtk/GtkOptionsDialog.h"

#include <hb.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <memory>
#include <tuple>

#include "platform/idle/Autostart.h"
#include "platform/idle/IdleMode.h"
#include "platform/posix/FileSettingsStore.h"
#include "shell/GlimraCode.h"

namespace {

size_t Row(const GlimraSettingInfo& setting) {
    return static_cast<size_t>(&setting - GlimraSettingsTable.data());
}

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

GtkWidget* Frame(const char* title, GtkWidget* child) {
    GtkWidget* frame = gtk_frame_new(title);
    gtk_container_set_border_width(GTK_CONTAINER(child), 6);
    gtk_container_add(GTK_CONTAINER(frame), child);
    return frame;
}

GtkWidget* Grid() {
    GtkWidget* grid = gtk_grid_new();
    gtk_grid_set_row_spacing(GTK_GRID(grid), 4);
    gtk_grid_set_column_spacing(GTK_GRID(grid), 8);
    return grid;
}

GtkWidget* Label(const char* text) {
    GtkWidget* label = gtk_label_new(text);
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    return label;
}

// A sunken box around a label, the look of the sample panels.
GtkWidget* Sunken(GtkWidget* child) {
    GtkWidget* frame = gtk_frame_new(nullptr);
    gtk_frame_set_shadow_type(GTK_FRAME(frame), GTK_SHADOW_IN);
    gtk_container_add(GTK_CONTAINER(frame), child);
    return frame;
}

// A multi-line box that can be typed into; nothing ever reads it.
GtkWidget* Memo(std::string_view text) {
    GtkWidget* view = gtk_text_view_new();
    gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(view), GTK_WRAP_WORD);
    gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(view)), text.data(),
                             static_cast<gint>(text.size()));
    GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_NEVER, GTK_POLICY_ALWAYS);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scrolled), GTK_SHADOW_IN);
    gtk_container_add(GTK_CONTAINER(scrolled), view);
    gtk_widget_set_vexpand(scrolled, TRUE);
    gtk_widget_set_hexpand(scrolled, TRUE);
    return scrolled;
}

// The About page of the shared text, with its Windows installation steps replaced by what a Linux
// user needs: how each desktop's idle daemon is told to start the saver, and where the settings are.
std::string LinuxAboutText() {
    const std::string steps =
        "MAKING IT THE SCREEN SAVER\n"
        "XScreenSaver: pick GlimraCode in xscreensaver-settings, or add the line \"glimracode --root\" to "
        "the programs: list in ~/.xscreensaver.\n"
        "sway and the other wlroots compositors: let swayidle start it, for instance after five minutes "
        "without input: swayidle timeout 300 'glimracode /s' (in sway's configuration: exec swayidle "
        "timeout 300 'glimracode /s').\n"
        "Hyprland: give glimracode /s as the on-timeout command of a listener in hypridle's "
        "configuration.\n"
        "KDE Plasma 5: in the energy-saving settings, \"Run script\" glimracode /s after a period of "
        "inactivity.\n"
        "GNOME, or any desktop without such a daemon: tick \"Start when the session is idle\" on the "
        "Idle page, or run glimracode --autostart on MINUTES once; GlimraCode then watches the session "
        "itself from the next login, and never locks the screen.\n"
        "The saver ends on a key, a click or a movement of the mouse. This dialog is \"GlimraCode "
        "settings\" in the desktop's menu, or glimracode with no argument.\n"
        "\n"
        "THE SETTINGS FILE\n"
        "OK writes these settings to " +
        FileSettingsStore::DefaultPath() +
        ", a text file in the format of a Windows registry export, so that it can be carried to and "
        "from the Windows saver. The saver only reads it, when it starts.";
    const std::string shared(GlimraAboutText);
    const size_t start = shared.find("INSTALLING\n");
    const size_t end = start == std::string::npos ? start : shared.find("\n\n", start);
    if (end == std::string::npos)
        return shared + "\n" + steps + "\n";
    return shared.substr(0, start) + steps + shared.substr(end);
}

gboolean KeepScalable(const PangoFontFamily*, const PangoFontFace* face, gpointer) {
    return GtkOptionsDialog::IsScalable(face) ? TRUE : FALSE;
}

} // namespace

GtkOptionsDialog::GtkOptionsDialog(FileSettingsStore& store) : m_store(store) {
    m_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(m_window), "vGlimra Screen Saver");
    gtk_window_set_resizable(GTK_WINDOW(m_window), FALSE);
    gtk_window_set_position(GTK_WINDOW(m_window), GTK_WIN_POS_CENTER);
    gtk_window_set_default_size(GTK_WINDOW(m_window), 401, 458);
    g_signal_connect(m_window, "key-press-event", G_CALLBACK(OnKeyPress), this);
    g_signal_connect(m_window, "delete-event", G_CALLBACK(OnDelete), this);

    m_pages = gtk_notebook_new();
    gtk_notebook_append_page(GTK_NOTEBOOK(m_pages), BuildGeneralPage(), gtk_label_new("General Settings"));
    gtk_notebook_append_page(GTK_NOTEBOOK(m_pages), BuildCreaturePage(), gtk_label_new("Creature"));
    GtkWidget* sweeper = Label("no available options");
    gtk_widget_set_valign(sweeper, GTK_ALIGN_START);
    gtk_widget_set_margin_start(sweeper, 12);
    gtk_widget_set_margin_top(sweeper, 12);
    gtk_notebook_append_page(GTK_NOTEBOOK(m_pages), sweeper, gtk_label_new("Sweeper"));
    gtk_notebook_append_page(GTK_NOTEBOOK(m_pages), BuildStaticPage(), gtk_label_new("Static"));
    gtk_notebook_append_page(GTK_NOTEBOOK(m_pages), BuildIdlePage(), gtk_label_new("Idle"));
    GtkWidget* about = Memo(LinuxAboutText());
    gtk_container_set_border_width(GTK_CONTAINER(about), 6);
    gtk_notebook_append_page(GTK_NOTEBOOK(m_pages), about, gtk_label_new("About"));

    m_defaultsButton = gtk_button_new_with_label("Defaults");
    m_okButton = gtk_button_new_with_label("Ok");
    m_cancelButton = gtk_button_new_with_label("Cancel");
    g_signal_connect_swapped(m_defaultsButton, "clicked",
                             G_CALLBACK(+[](GtkOptionsDialog* dialog) { dialog->m_options.Defaults(); }),
                             this);
    g_signal_connect_swapped(m_okButton, "clicked",
                             G_CALLBACK(+[](GtkOptionsDialog* dialog) { dialog->Ok(); }), this);
    g_signal_connect_swapped(m_cancelButton, "clicked",
                             G_CALLBACK(+[](GtkOptionsDialog* dialog) { dialog->Cancel(); }), this);
    GtkWidget* strip = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 8);
    gtk_container_set_border_width(GTK_CONTAINER(strip), 8);
    gtk_box_pack_start(GTK_BOX(strip), m_defaultsButton, FALSE, FALSE, 0);
    gtk_box_pack_end(GTK_BOX(strip), m_cancelButton, FALSE, FALSE, 0);
    gtk_box_pack_end(GTK_BOX(strip), m_okButton, FALSE, FALSE, 0);

    GtkWidget* layout = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_box_pack_start(GTK_BOX(layout), m_pages, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(layout), strip, FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(m_window), layout);

    gtk_widget_set_can_default(m_okButton, TRUE);
    gtk_window_set_default(GTK_WINDOW(m_window), m_okButton);

    m_options.LoadControls(true);
    gtk_widget_show_all(m_window);
    // Focus starts in the first number field, whose Enter reaches the default button.
    gtk_widget_grab_focus(m_controls[Row(Setting(GlimraSettingId::Delay))]);
}

GtkOptionsDialog::~GtkOptionsDialog() {
    m_closed = true;
    gtk_widget_destroy(m_window);
}

GtkWidget* GtkOptionsDialog::BuildGeneralPage() {
    GtkWidget* general = Grid();
    NumberField(GTK_GRID(general), 0, "Tick Delay (ms):", GlimraSettingId::Delay);
    NumberField(GTK_GRID(general), 1, "% Column Saturation:", GlimraSettingId::Saturation);
    GtkWidget* weights = Grid();
    NumberField(GTK_GRID(weights), 0, "Creature:", GlimraSettingId::Creature);
    NumberField(GTK_GRID(weights), 1, "Sweeper:", GlimraSettingId::Blank);
    NumberField(GTK_GRID(weights), 2, "Static:", GlimraSettingId::Static);
    NumberField(GTK_GRID(weights), 3, "Nothing:", GlimraSettingId::Nothing);

    GtkWidget* caption = gtk_label_new(nullptr);
    gtk_label_set_markup(GTK_LABEL(caption), "<b><big>Glimra Code</big></b>");

    GtkWidget* font = Grid();
    gtk_grid_attach(GTK_GRID(font), Label("Font Face:"), 0, 0, 1, 1);
    m_faceBox = gtk_entry_new();
    gtk_editable_set_editable(GTK_EDITABLE(m_faceBox), FALSE);
    gtk_widget_set_can_focus(m_faceBox, FALSE);
    gtk_widget_set_hexpand(m_faceBox, TRUE);
    gtk_grid_attach(GTK_GRID(font), m_faceBox, 1, 0, 2, 1);
    m_changeFontButton = gtk_button_new_with_label("Change...");
    g_signal_connect_swapped(m_changeFontButton, "clicked",
                             G_CALLBACK(+[](GtkOptionsDialog* dialog) { dialog->ChangeFont(); }), this);
    gtk_grid_attach(GTK_GRID(font), m_changeFontButton, 3, 0, 1, 1);
    m_fontSample = gtk_label_new("Sample");
    gtk_widget_set_size_request(m_fontSample, -1, 48);
    gtk_grid_attach(GTK_GRID(font), Sunken(m_fontSample), 0, 1, 4, 1);
    NumberField(GTK_GRID(font), 2, "Start Character:", GlimraSettingId::StartChar);
    gtk_grid_attach(GTK_GRID(font), CharacterSample(GlimraSettingId::StartChar), 2, 2, 1, 1);
    NumberField(GTK_GRID(font), 3, "End Character:", GlimraSettingId::EndChar);
    gtk_grid_attach(GTK_GRID(font), CharacterSample(GlimraSettingId::EndChar), 2, 3, 1, 1);
    for (const auto& [row, text, id] :
         {std::tuple{4, "Flip Characters Horizontally", GlimraSettingId::Horizontal},
          std::tuple{5, "Flip Characters Vertically", GlimraSettingId::Vertical}}) {
        GtkWidget* check = gtk_check_button_new_with_label(text);
        Binding* binding = Bind(id);
        m_controls[Row(*binding->Setting)] = check;
        g_signal_connect(check, "toggled", G_CALLBACK(OnToggled), binding);
        gtk_grid_attach(GTK_GRID(font), check, 0, row, 4, 1);
    }

    GtkWidget* page = Grid();
    gtk_container_set_border_width(GTK_CONTAINER(page), 6);
    GtkWidget* left = gtk_box_new(GTK_ORIENTATION_VERTICAL, 8);
    gtk_box_pack_start(GTK_BOX(left), Frame("General Parameters", general), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(left), caption, TRUE, TRUE, 0);
    gtk_grid_attach(GTK_GRID(page), left, 0, 0, 1, 1);
    gtk_grid_attach(GTK_GRID(page), Frame("Creature Weights", weights), 1, 0, 1, 1);
    gtk_grid_attach(GTK_GRID(page), Frame("Font", font), 0, 1, 2, 1);
    return page;
}

GtkWidget* GtkOptionsDialog::BuildCreaturePage() {
    GtkWidget* cascade = Grid();
    NumberField(GTK_GRID(cascade), 0, "Fade Length:", GlimraSettingId::CreatureStates);
    NumberField(GTK_GRID(cascade), 1, "Speed Range:", GlimraSettingId::SpeedRange);
    ColourPanel(GTK_GRID(cascade), 2, "Initial Color:", GlimraSettingId::CreatureStartColor);
    ColourPanel(GTK_GRID(cascade), 3, "Final Color:", GlimraSettingId::CreatureEndColor);
    GtkWidget* volatility = Grid();
    NumberField(GTK_GRID(volatility), 0, "% Volatility:", GlimraSettingId::Volatility);
    NumberField(GTK_GRID(volatility), 1, "Fade Length:", GlimraSettingId::FlipperStates);
    ColourPanel(GTK_GRID(volatility), 2, "Initial Color:", GlimraSettingId::FlipperStartColor);
    ColourPanel(GTK_GRID(volatility), 3, "Mid Color:", GlimraSettingId::FlipperMidColor);
    ColourPanel(GTK_GRID(volatility), 4, "Final Color:", GlimraSettingId::FlipperEndColor);

    GtkWidget* page = gtk_box_new(GTK_ORIENTATION_VERTICAL, 8);
    gtk_container_set_border_width(GTK_CONTAINER(page), 6);
    gtk_box_pack_start(GTK_BOX(page), Frame("Cascade", cascade), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(page), Frame("Volatility", volatility), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(page), Label("Notes:"), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(page), Memo(""), TRUE, TRUE, 0);
    return page;
}

GtkWidget* GtkOptionsDialog::BuildStaticPage() {
    GtkWidget* page = Grid();
    gtk_container_set_border_width(GTK_CONTAINER(page), 12);
    NumberField(GTK_GRID(page), 0, "Fade Length:", GlimraSettingId::StaticStates);
    ColourPanel(GTK_GRID(page), 1, "Initial Color:", GlimraSettingId::StaticStartColor);
    ColourPanel(GTK_GRID(page), 2, "Mid Color:", GlimraSettingId::StaticMidColor);
    ColourPanel(GTK_GRID(page), 3, "Final Color:", GlimraSettingId::StaticEndColor);
    return page;
}

// Its own page rather than a corner of General Settings, whose layout is the one the Windows dialog
// shares; the choice is not one of the 25 values, so Defaults leaves it alone.
GtkWidget* GtkOptionsDialog::BuildIdlePage() {
    m_idleCheck = gtk_check_button_new_with_label("Start when the session is idle");
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(m_idleCheck), AutostartEntryExists() ? TRUE : FALSE);
    m_idleMinutes = gtk_spin_button_new_with_range(1, MaxIdleMinutes, 1);
    gtk_spin_button_set_digits(GTK_SPIN_BUTTON(m_idleMinutes), 0);
    gtk_spin_button_set_numeric(GTK_SPIN_BUTTON(m_idleMinutes), TRUE);
    gtk_spin_button_set_update_policy(GTK_SPIN_BUTTON(m_idleMinutes), GTK_UPDATE_IF_VALID);
    gtk_entry_set_activates_default(GTK_ENTRY(m_idleMinutes), TRUE);
    gtk_entry_set_width_chars(GTK_ENTRY(m_idleMinutes), 6);
    GlimraSettingsStore* store = InstalledSettingsStore();
    gtk_spin_button_set_value(
        GTK_SPIN_BUTTON(m_idleMinutes),
        (store != nullptr ? ReadIdleMinutes(*store) : std::nullopt).value_or(DefaultIdleMinutes));
    // Minutes mean nothing while the watcher is off, and off leaves the stored ones as they are.
    g_object_bind_property(m_idleCheck, "active", m_idleMinutes, "sensitive", G_BINDING_SYNC_CREATE);

    GtkWidget* choice = Grid();
    gtk_grid_attach(GTK_GRID(choice), m_idleCheck, 0, 0, 3, 1);
    gtk_grid_attach(GTK_GRID(choice), Label("after"), 0, 1, 1, 1);
    gtk_grid_attach(GTK_GRID(choice), m_idleMinutes, 1, 1, 1, 1);
    gtk_grid_attach(GTK_GRID(choice), Label("minutes without input"), 2, 1, 1, 1);
    gtk_widget_set_margin_start(gtk_grid_get_child_at(GTK_GRID(choice), 0, 1), 24);

    const std::string text =
        "Ok adds GlimraCode's idle watcher to the programs that the desktop starts at login (" +
        AutostartEntryPath() +
        "), or takes it away; it works from the next login on. It starts the saver as glimracode /s "
        "does and never locks the screen: keep the desktop's own lock, set to a longer time.\n\n"
        "sway, Hyprland and the other desktops that do not read that folder start the watcher from "
        "their own configuration instead: exec glimracode --idle MINUTES.";
    GtkWidget* note = Label(text.c_str());
    gtk_label_set_line_wrap(GTK_LABEL(note), TRUE);
    gtk_label_set_max_width_chars(GTK_LABEL(note), 50);

    GtkWidget* page = gtk_box_new(GTK_ORIENTATION_VERTICAL, 8);
    gtk_container_set_border_width(GTK_CONTAINER(page), 6);
    gtk_box_pack_start(GTK_BOX(page), Frame("Idle Watcher", choice), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(page), note, FALSE, FALSE, 0);
    return page;
}

GtkOptionsDialog::Binding* GtkOptionsDialog::Bind(GlimraSettingId id) {
    const GlimraSettingInfo& setting = Setting(id);
    Binding& binding = m_bindings[Row(setting)];
    binding = Binding{this, &setting};
    return &binding;
}

GtkWidget* GtkOptionsDialog::NumberField(GtkGrid* grid, int row, const char* label, GlimraSettingId id) {
    Binding* binding = Bind(id);
    GtkWidget* spin =
        gtk_spin_button_new_with_range(binding->Setting->DialogMin, binding->Setting->DialogMax, 1);
    gtk_spin_button_set_digits(GTK_SPIN_BUTTON(spin), 0);
    gtk_spin_button_set_numeric(GTK_SPIN_BUTTON(spin), TRUE);
    gtk_spin_button_set_wrap(GTK_SPIN_BUTTON(spin), FALSE);
    // Out-of-range text must not be pulled to the nearest bound when the field loses focus: the
    // field goes back to its last valid position, the one the options already hold.
    gtk_spin_button_set_update_policy(GTK_SPIN_BUTTON(spin), GTK_UPDATE_IF_VALID);
    gtk_entry_set_activates_default(GTK_ENTRY(spin), TRUE);
    gtk_entry_set_width_chars(GTK_ENTRY(spin), 6);
    g_signal_connect(spin, "changed", G_CALLBACK(OnSpinChanged), binding);
    m_controls[Row(*binding->Setting)] = spin;
    gtk_grid_attach(grid, Label(label), 0, row, 1, 1);
    gtk_grid_attach(grid, spin, 1, row, 1, 1);
    return spin;
}

GtkWidget* GtkOptionsDialog::ColourPanel(GtkGrid* grid, int row, const char* label, GlimraSettingId id) {
    Binding* binding = Bind(id);
    GtkWidget* button = gtk_color_button_new();
    // Straight into the editor: any colour may be chosen, not only the palette's.
    g_object_set(button, "show-editor", TRUE, nullptr);
    gtk_color_chooser_set_use_alpha(GTK_COLOR_CHOOSER(button), FALSE);
    gtk_widget_set_size_request(button, 48, -1);
    g_signal_connect(button, "color-set", G_CALLBACK(OnColourSet), binding);
    m_controls[Row(*binding->Setting)] = button;
    gtk_grid_attach(grid, Label(label), 0, row, 1, 1);
    gtk_grid_attach(grid, button, 1, row, 1, 1);
    return button;
}

GtkWidget* GtkOptionsDialog::CharacterSample(GlimraSettingId id) {
    const size_t row = Row(Setting(id));
    m_samples[row] = gtk_label_new("");
    gtk_widget_set_size_request(m_samples[row], 40, 32);
    return Sunken(m_samples[row]);
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
        }
    }
    gtk_widget_destroy(GTK_WIDGET(chooser));
}

void GtkOptionsDialog::OnSpinChanged(GtkEditable* editable, Binding* binding) {
    GtkOptionsDialog& dialog = *binding->Dialog;
    if (dialog.m_closed)
        return;
    dialog.m_options.EditChanged(*binding->Setting, gtk_entry_get_text(GTK_ENTRY(editable)));
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
    if (!binding->Dialog->m_closed)
        binding->Dialog->m_options.SetChecked(*binding->Setting,
                                              gtk_toggle_button_get_active(button) != FALSE);
}

void GtkOptionsDialog::OnColourSet(GtkColorButton* button, Binding* binding) {
    GdkRGBA rgba{};
    gtk_color_chooser_get_rgba(GTK_COLOR_CHOOSER(button), &rgba);
    binding->Dialog->m_options.SetColour(*binding->Setting, ColourFromRgba(rgba));
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
