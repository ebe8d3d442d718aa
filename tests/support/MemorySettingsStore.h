#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/GlimraSettingsStore.h"

// A settings store that lives in memory, for tests: they fill it, look into it, and make single
// operations fail on purpose.
class MemorySettingsStore final : public GlimraSettingsStore {
public:
    struct Value {
        GlimraValueType Type{};
        std::vector<uint8_t> Data;
        bool operator==(const Value&) const = default;
    };

    [[nodiscard]] bool OpenKey(std::string_view keyPath, GlimraStoreKey& key) override;
    [[nodiscard]] bool QueryValue(GlimraStoreKey key, std::string_view name, GlimraValueType& type,
                                  uint32_t& size) override;
    [[nodiscard]] bool ReadValue(GlimraStoreKey key, std::string_view name, GlimraValueType& type,
                                 std::span<uint8_t> buffer, uint32_t& copied) override;
    [[nodiscard]] bool WriteValue(GlimraStoreKey key, std::string_view name, GlimraValueType type,
                                  std::span<const uint8_t> data) override;
    void CloseKey(GlimraStoreKey key) override;

    // Creates the key when needed, and the value, whatever it held before.
    void PutValue(std::string_view keyPath, std::string_view name, GlimraValueType type,
                  std::vector<uint8_t> data);
    void RemoveValue(std::string_view keyPath, std::string_view name);
    [[nodiscard]] std::optional<Value> FindValue(std::string_view keyPath, std::string_view name) const;
    [[nodiscard]] bool HasKey(std::string_view keyPath) const;
    [[nodiscard]] size_t OpenKeyCount() const { return m_open.size(); }
    // The names that WriteValue was asked to write, in order, refused ones included.
    [[nodiscard]] const std::vector<std::string>& Writes() const { return m_writes; }
    // The size of the largest buffer that ReadValue was given.
    [[nodiscard]] size_t LargestReadBuffer() const { return m_largestReadBuffer; }

    void FailOpening(bool fail) { m_failOpening = fail; }
    // WriteValue refuses this value (by name) from now on; an empty name refuses nothing.
    void FailWritingOf(std::string_view name) { m_failWritingOf = name; }

private:
    using Values = std::map<std::string, Value>;
    const Value* Find(GlimraStoreKey key, std::string_view name) const;

    std::map<std::string, Values> m_keys; // by lower-case path, then by lower-case name
    std::map<GlimraStoreKey, std::string> m_open;
    GlimraStoreKey m_nextKey = 1;
    std::vector<std::string> m_writes;
    size_t m_largestReadBuffer = 0;
    bool m_failOpening = false;
    std::string m_failWritingOf;
};
