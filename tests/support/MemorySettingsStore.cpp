#include "support/MemorySettingsStore.h"

#include "settings/AsciiCase.h"
#include <algorithm>

bool MemorySettingsStore::OpenKey(std::string_view keyPath, GlimraStoreKey& key) {
    if (m_failOpening)
        return false;
    const std::string path = AsciiLowered(keyPath);
    m_keys.try_emplace(path);
    key = m_nextKey++;
    m_open.emplace(key, path);
    return true;
}

bool MemorySettingsStore::QueryValue(GlimraStoreKey key, std::string_view name, GlimraValueType& type,
                                     uint32_t& size) {
    const Value* value = Find(key, name);
    if (!value)
        return false;
    type = value->Type;
    size = static_cast<uint32_t>(value->Data.size());
    return true;
}

bool MemorySettingsStore::ReadValue(GlimraStoreKey key, std::string_view name, GlimraValueType& type,
                                    std::span<uint8_t> buffer, uint32_t& copied) {
    m_largestReadBuffer = std::max(m_largestReadBuffer, buffer.size());
    const Value* value = Find(key, name);
    if (!value)
        return false;
    const size_t count = std::min(buffer.size(), value->Data.size());
    std::copy_n(value->Data.begin(), count, buffer.begin());
    type = value->Type;
    copied = static_cast<uint32_t>(count);
    return true;
}

bool MemorySettingsStore::WriteValue(GlimraStoreKey key, std::string_view name, GlimraValueType type,
                                     std::span<const uint8_t> data) {
    m_writes.emplace_back(name);
    const auto open = m_open.find(key);
    if (open == m_open.end())
        return false;
    if (!m_failWritingOf.empty() && AsciiLowered(name) == AsciiLowered(m_failWritingOf))
        return false;
    m_keys[open->second][AsciiLowered(name)] = Value{type, std::vector<uint8_t>(data.begin(), data.end())};
    return true;
}

void MemorySettingsStore::CloseKey(GlimraStoreKey key) {
    m_open.erase(key);
}

void MemorySettingsStore::PutValue(std::string_view keyPath, std::string_view name, GlimraValueType type,
                                   std::vector<uint8_t> data) {
    m_keys[AsciiLowered(keyPath)][AsciiLowered(name)] = Value{type, std::move(data)};
}

void MemorySettingsStore::RemoveValue(std::string_view keyPath, std::string_view name) {
    const auto values = m_keys.find(AsciiLowered(keyPath));
    if (values != m_keys.end())
        values->second.erase(AsciiLowered(name));
}

std::optional<MemorySettingsStore::Value> MemorySettingsStore::FindValue(std::string_view keyPath,
                                                                         std::string_view name) const {
    const auto values = m_keys.find(AsciiLowered(keyPath));
    if (values == m_keys.end())
        return std::nullopt;
    const auto value = values->second.find(AsciiLowered(name));
    if (value == values->second.end())
        return std::nullopt;
    return value->second;
}

bool MemorySettingsStore::HasKey(std::string_view keyPath) const {
    return m_keys.contains(AsciiLowered(keyPath));
}

const MemorySettingsStore::Value* MemorySettingsStore::Find(GlimraStoreKey key, std::string_view name) const {
    const auto open = m_open.find(key);
    if (open == m_open.end())
        return nullptr;
    const auto values = m_keys.find(open->second);
    if (values == m_keys.end())
        return nullptr;
    const auto value = values->second.find(AsciiLowered(name));
    return value == values->second.end() ? nullptr : &value->second;
}
