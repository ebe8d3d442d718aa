// The settings dialog's window and its pages, built once by the constructor: which control shows
// which setting, where it sits, and the texts around them. What the controls do afterwards is in
// GtkOptionsDialog.cpp.

#include "platform/gtk/GtkOptionsDialog.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

#include "platform/idle/Autostart.h"
#include "platform/posix/FileSettingsStore.h"

namespace {

// Half a full-HD screen's width; with the height of 16:9, a quarter of its area.
constexpr int PaneDefaultWidth = 960;
constexpr int PaneMinWidth = 160;

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

} // namespace

GtkOptionsDialog::GtkOptionsDialog(FileSettingsStore& store, SaverLaunch saver)
    : m_store(store), m_saver(std::move(saver.Program), saver.LockDescriptor) {
    m_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(m_window), "vGlimra Screen Saver");
    gtk_window_set_position(GTK_WINDOW(m_window), GTK_WIN_POS_CENTER);
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
    m_previewButton = gtk_button_new_with_label("Preview");
    gtk_widget_set_tooltip_text(m_previewButton,
                                "Shows these values full screen until a key, a click or a move of the mouse");
    g_signal_connect_swapped(m_previewButton, "clicked",
                             G_CALLBACK(+[](GtkOptionsDialog* dialog) { dialog->Preview(); }), this);
    m_okButton = gtk_button_new_with_label("Ok");
    m_cancelButton = gtk_button_new_with_label("Cancel");
    g_signal_connect_swapped(m_defaultsButton, "clicked", G_CALLBACK(+[](GtkOptionsDialog* dialog) {
                                 dialog->m_options.Defaults();
                                 dialog->ControlsChanged();
                             }),
                             this);
    g_signal_connect_swapped(m_okButton, "clicked",
                             G_CALLBACK(+[](GtkOptionsDialog* dialog) { dialog->Ok(); }), this);
    g_signal_connect_swapped(m_cancelButton, "clicked",
                             G_CALLBACK(+[](GtkOptionsDialog* dialog) { dialog->Cancel(); }), this);
    GtkWidget* strip = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 8);
    gtk_container_set_border_width(GTK_CONTAINER(strip), 8);
    gtk_box_pack_start(GTK_BOX(strip), m_defaultsButton, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(strip), m_previewButton, FALSE, FALSE, 0);
    gtk_box_pack_end(GTK_BOX(strip), m_cancelButton, FALSE, FALSE, 0);
    gtk_box_pack_end(GTK_BOX(strip), m_okButton, FALSE, FALSE, 0);

    // The pages keep their size; the pane takes whatever the window grows by.
    GtkWidget* pane = Sunken(m_pane->Widget());
    gtk_container_set_border_width(GTK_CONTAINER(pane), 6);
    gtk_widget_set_size_request(m_pane->Widget(), PaneMinWidth, PaneMinWidth * 9 / 16);
    GtkWidget* sides = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_widget_set_hexpand(m_pages, FALSE);
    gtk_box_pack_start(GTK_BOX(sides), m_pages, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(sides), pane, TRUE, TRUE, 0);
    GtkWidget* layout = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_box_pack_start(GTK_BOX(layout), sides, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(layout), strip, FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(m_window), layout);

    gtk_widget_set_can_default(m_okButton, TRUE);
    gtk_window_set_default(GTK_WINDOW(m_window), m_okButton);

    m_options.LoadControls(true);
    ControlsChanged();
    gtk_widget_show_all(layout);
    // A quarter of a full-HD screen's area for the pane, less on a smaller screen.
    GtkRequisition natural{}, pages{};
    gtk_widget_get_preferred_size(layout, nullptr, &natural);
    gtk_widget_get_preferred_size(m_pages, nullptr, &pages);
    int paneWidth = PaneDefaultWidth;
    if (GdkMonitor* monitor = gdk_display_get_primary_monitor(gtk_widget_get_display(m_window))) {
        GdkRectangle area{};
        gdk_monitor_get_workarea(monitor, &area);
        paneWidth = std::clamp(area.width - natural.width - 32, PaneMinWidth, PaneDefaultWidth);
    }
    gtk_window_set_default_size(GTK_WINDOW(m_window), natural.width - PaneMinWidth + paneWidth,
                                natural.height + std::max(0, paneWidth * 9 / 16 + 12 - pages.height));
    gtk_widget_show(m_window);
    // Focus starts in the first number field, whose Enter reaches the default button.
    gtk_widget_grab_focus(m_controls[Row(Setting(GlimraSettingId::Delay))]);
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
