#include "platform/win32/RegistrySettingsStore.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

HKEY AsKey(GlimraStoreKey key) {
    return reinterpret_cast<HKEY>(key);
}

} // namespace

bool RegistrySettingsStore::OpenKey(std::string_view keyPath, GlimraStoreKey& key) {
    const std::string path(keyPath);
    HKEY opened = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &opened, nullptr) != ERROR_SUCCESS)
        return false;
    key = reinterpret_cast<GlimraStoreKey>(opened);
    return true;
}

bool RegistrySettingsStore::QueryValue(GlimraStoreKey key, std::string_view name, GlimraValueType& type,
                                       uint32_t& size) {
    const std::string valueName(name);
    DWORD valueType = REG_NONE;
    DWORD valueSize = 0;
    if (RegQueryValueExA(AsKey(key), valueName.c_str(), nullptr, &valueType, nullptr, &valueSize) !=
        ERROR_SUCCESS)
        return false;
    type = static_cast<GlimraValueType>(valueType);
    size = valueSize;
    return true;
}

bool RegistrySettingsStore::ReadValue(GlimraStoreKey key, std::string_view name, GlimraValueType& type,
                                      std::span<uint8_t> buffer, uint32_t& copied) {
    const std::string valueName(name);
    DWORD valueType = REG_NONE;
    DWORD size = static_cast<DWORD>(buffer.size());
    // A null data pointer would turn the read into a size query, so an empty buffer gets a byte.
    uint8_t spare = 0;
    LONG result = RegQueryValueExA(AsKey(key), valueName.c_str(), nullptr, &valueType,
                                   buffer.empty() ? &spare : buffer.data(), &size);
    if (result == ERROR_SUCCESS) {
        type = static_cast<GlimraValueType>(valueType);
        copied = std::min<uint32_t>(size, static_cast<uint32_t>(buffer.size()));
        return true;
    }
    // Another process may make the value bigger between the calls; a few tries are enough.
    std::vector<uint8_t> whole;
    for (int attempt = 0; attempt < 4 && result == ERROR_MORE_DATA; ++attempt) {
        whole.resize(size);
        result = RegQueryValueExA(AsKey(key), valueName.c_str(), nullptr, &valueType, whole.data(), &size);
    }
    if (result != ERROR_SUCCESS)
        return false;
    const size_t count = std::min<size_t>({buffer.size(), size, whole.size()});
    std::copy_n(whole.begin(), count, buffer.begin());
    type = static_cast<GlimraValueType>(valueType);
    copied = static_cast<uint32_t>(count);
    return true;
}

bool RegistrySettingsStore::WriteValue(GlimraStoreKey key, std::string_view name, GlimraValueType type,
                                       std::span<const uint8_t> data) {
    const std::string valueName(name);
    return RegSetValueExA(AsKey(key), valueName.c_str(), 0, static_cast<DWORD>(type), data.data(),
                          static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

void RegistrySettingsStore::CloseKey(GlimraStoreKey key) {
    RegCloseKey(AsKey(key));
}
