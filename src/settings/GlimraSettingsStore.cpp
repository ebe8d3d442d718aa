#include "settings/GlimraSettingsStore.h"

namespace {
GlimraSettingsStore* g_store = nullptr;
}

void InstallSettingsStore(GlimraSettingsStore* store) {
    g_store = store;
}

GlimraSettingsStore* InstalledSettingsStore() {
    return g_store;
}
