// Prints the settings as the Windows saver reads them from the registry, in the same text as the
// Linux settings mode prints them from its file, so that a test can compare the two.

#include <cstdio>

#include "platform/win32/RegistrySettingsStore.h"
#include "settings/SettingsReport.h"

int main() {
    RegistrySettingsStore store;
    vGlimraSettings settings;
    settings.Load(store);
    std::fputs(SettingsReport("HKEY_CURRENT_USER\\Software\\KLOV\\Glimra", true, settings).c_str(), stdout);
    return 0;
}
