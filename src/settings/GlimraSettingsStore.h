#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "base/GlimraInstalled.h"

// The settings store seam: how the settings record (GlimraSettings) reaches the current user's
// registry on Windows, or the registry-shaped stand-in of another platform.
//
// The platform installs one store at start-up (InstallSettingsStore) and removes it at shutdown.
// Only the record calls it, from Load and Save: when an engine is created, and when the settings
// dialog opens and when it confirms. Nothing else touches the store, and nothing is called per tick.
//
// Every operation answers false when it cannot be done, and then leaves its out-parameters alone.
// A store never decides what a failure means: the record's Load goes on with its defaults and its
// Save raises its one error. Key paths and value names compare without regard to ASCII case, as
// the registry's do.

// Value types, numbered as the registry numbers them so that a store can pass them through.
enum class GlimraValueType : uint32_t {
    None = 0,
    String = 1,
    ExpandString = 2,
    Binary = 3,
    Dword = 4,
    DwordBigEndian = 5,
    Link = 6,
    MultiString = 7,
    ResourceList = 8,
    FullResourceDescriptor = 9,
    ResourceRequirementsList = 10,
    Qword = 11,
};

// An open key as a store hands it out. 0 never names one.
using GlimraStoreKey = std::uintptr_t;

// One value of a batch of writes.
struct GlimraStoreWrite {
    std::string_view Name;
    GlimraValueType Type;
    std::span<const uint8_t> Data;
};

class GlimraSettingsStore {
public:
    virtual ~GlimraSettingsStore() = default;

    // Opens keyPath (such as "Software\\KLOV\\Glimra") under the current user's root for reading and
    // writing, and creates it first when it does not exist. A store whose reading must never write
    // (the settings file) may open a missing key as an empty one and make it at the first write.
    [[nodiscard]] virtual bool OpenKey(std::string_view keyPath, GlimraStoreKey& key) = 0;

    // The type of a value and its size in bytes; false when the value does not exist.
    [[nodiscard]] virtual bool QueryValue(GlimraStoreKey key, std::string_view name, GlimraValueType& type,
                                          uint32_t& size) = 0;

    // Copies the first bytes of a value, as many as fit in buffer, and reports how many it copied.
    // Strings come as stored, terminating zero included, in the platform's 8-bit encoding.
    [[nodiscard]] virtual bool ReadValue(GlimraStoreKey key, std::string_view name, GlimraValueType& type,
                                         std::span<uint8_t> buffer, uint32_t& copied) = 0;

    // Creates the value or replaces it, whatever its previous type.
    [[nodiscard]] virtual bool WriteValue(GlimraStoreKey key, std::string_view name, GlimraValueType type,
                                          std::span<const uint8_t> data) = 0;

    // Writes the values in order and answers how many were written: values.size() when all were.
    // The registry writes them one by one, so the ones before a refused value stay written; a store
    // that can do better writes all of them at once or none (and answers 0).
    [[nodiscard]] virtual size_t WriteValues(GlimraStoreKey key, std::span<const GlimraStoreWrite> values);

    virtual void CloseKey(GlimraStoreKey key) = 0;
};

// The installed store, or nil: without one, Load keeps the defaults and Save fails at its first value.
inline void InstallSettingsStore(GlimraSettingsStore* store) {
    GlimraInstalled<GlimraSettingsStore>::Install(store);
}
inline GlimraSettingsStore* InstalledSettingsStore() {
    return GlimraInstalled<GlimraSettingsStore>::Get();
}
