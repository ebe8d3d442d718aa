#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/GlimraSettings.h"

// The settings record's cases that every store must pass. A harness gives the store under test and
// reaches the settings key behind the store's back, the way a user or another program would.
struct RawValue {
    GlimraValueType Type{};
    std::vector<uint8_t> Data;
    bool operator==(const RawValue&) const = default;
};

class StoreHarness {
public:
    virtual ~StoreHarness() = default;
    [[nodiscard]] virtual GlimraSettingsStore& Store() = 0;
    // Puts one value into the settings key, creating the key.
    virtual void Put(std::string_view name, const RawValue& value) = 0;
    [[nodiscard]] virtual std::optional<RawValue> Get(std::string_view name) = 0;
    [[nodiscard]] virtual bool KeyExists() = 0;
    // The registry's Load makes a missing key; the settings file is never written by reading.
    [[nodiscard]] virtual bool LoadMakesTheKey() const { return true; }
};

// Readable failures: the fields by name, the bytes in hex.
void PrintTo(const RawValue& value, std::ostream* out);
void PrintTo(const vGlimraSettings& settings, std::ostream* out);

using StoreHarnessFactory = std::unique_ptr<StoreHarness> (*)();

std::vector<uint8_t> DwordBytes(uint32_t value);
RawValue Dword(uint32_t value);
// A string value as it is stored: the text and its terminating zero.
RawValue Sz(std::string_view text);

// A record in which every value differs from its default.
vGlimraSettings UnusualSettings();
// Puts every value of the record into the store, each with its own type, except the one named.
void PutAll(StoreHarness& harness, const vGlimraSettings& settings, std::string_view except = {});
// A record that holds the defaults, with the rows from first on taken from source.
vGlimraSettings DefaultsWithRowsFrom(const vGlimraSettings& source, size_t first, size_t end);

// Names each instantiation's cases "Store" rather than by the factory's address.
inline std::string StoreName(const ::testing::TestParamInfo<StoreHarnessFactory>&) {
    return "Store";
}

class StoreCases : public ::testing::TestWithParam<StoreHarnessFactory> {
protected:
    void SetUp() override { m_harness = GetParam()(); }
    void TearDown() override { m_harness.reset(); }
    StoreHarness& Harness() { return *m_harness; }

private:
    std::unique_ptr<StoreHarness> m_harness;
};
