#include "settings/GlimraSettingsStore.h"

size_t GlimraSettingsStore::WriteValues(GlimraStoreKey key, std::span<const GlimraStoreWrite> values) {
    size_t written = 0;
    while (written < values.size() &&
           WriteValue(key, values[written].Name, values[written].Type, values[written].Data))
        ++written;
    return written;
}
