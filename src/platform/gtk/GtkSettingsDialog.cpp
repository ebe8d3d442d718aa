#include "platform/gtk/GtkSettingsDialog.h"

#include <glib-unix.h>

#include <csignal>

#include "platform/gtk/GtkOptionsDialog.h"
#include "platform/linux/GlimraLockFile.h"
#include "platform/posix/ExecutableDirectory.h"

namespace {

// A session that ends, or a Ctrl+C in the terminal that started the dialog, must not leave the
// dialog up: it closes as Cancel does, saving nothing.
gboolean CancelOnSignal(gpointer data) {
    auto* dialog = static_cast<GtkOptionsDialog*>(data);
    if (!dialog->Closed())
        gtk_button_clicked(dialog->CancelButton());
    return G_SOURCE_CONTINUE;
}

} // namespace

bool RunGtkSettingsDialog(FileSettingsStore& store, const GlimraLockFile& lock) {
    // The bundled face was registered with fontconfig's default configuration during start-up,
    // before this first GTK call makes Pango's font map, so Pango finds it by name as well.
    if (!gtk_init_check(nullptr, nullptr))
        return false;
    GtkOptionsDialog dialog(store, {ExecutableDirectory() + "glimracode", lock.Descriptor()});
    const guint term = g_unix_signal_add(SIGTERM, CancelOnSignal, &dialog);
    const guint interrupt = g_unix_signal_add(SIGINT, CancelOnSignal, &dialog);
    dialog.Run();
    g_source_remove(term);
    g_source_remove(interrupt);
    return true;
}
