#include "platform/gtk/GtkSettingsDialog.h"

#include "platform/gtk/GtkOptionsDialog.h"

bool RunGtkSettingsDialog() {
    // The bundled face was registered with fontconfig's default configuration during start-up,
    // before this first GTK call makes Pango's font map, so Pango finds it by name as well.
    if (!gtk_init_check(nullptr, nullptr))
        return false;
    GtkOptionsDialog dialog;
    dialog.Run();
    return true;
}
