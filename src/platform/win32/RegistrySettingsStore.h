#pragma once

#include "settings/GlimraSettingsStore.h"

// The settings store of the Windows programs: the registry under HKEY_CURRENT_USER, through its
// 8-bit (ANSI) functions, so that strings come in the system's code page as the record expects.
// A key it hands out is the HKEY itself.
class RegistrySettingsStore final : public GlimraSettingsStore {
public:
    [[nodiscard]] bool OpenKey(std::string_view keyPath, GlimraStoreKey& key) override;
    [[nodiscard]] bool QueryValue(GlimraStoreKey key, std::string_view name, GlimraValueType& type,
                                  uint32_t& size) override;
    // The registry refuses to copy part of a value, so a value bigger than the buffer is read whole
    // and its beginning copied: the registry, not the caller, bounds what is allocated.
    [[nodiscard]] bool ReadValue(GlimraStoreKey key, std::string_view name, GlimraValueType& type,
                                 std::span<uint8_t> buffer, uint32_t& copied) override;
    [[nodiscard]] bool WriteValue(GlimraStoreKey key, std::string_view name, GlimraValueType type,
                                  std::span<const uint8_t> data) override;
    void CloseKey(GlimraStoreKey key) override;
};
