#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// An ordered list that owns its entries and frees them in index order when cleared or destroyed.
// The accessor is bounds-checked: nil outside 0..Count()-1, as callers probe past the end.
template <typename Entry> class GlimraOwningList {
public:
    GlimraOwningList() = default;
    ~GlimraOwningList() { Clear(); }
    GlimraOwningList(const GlimraOwningList&) = delete;
    GlimraOwningList& operator=(const GlimraOwningList&) = delete;

    int32_t Count() const { return static_cast<int32_t>(m_entries.size()); }
    Entry* ItemAt(int32_t index) const {
        return index < 0 || index >= Count() ? nullptr : m_entries[static_cast<size_t>(index)].get();
    }
    // The first entry whose key equals key, or nil; Entry::Key() names what an entry is found by.
    template <typename Key> Entry* FindBy(const Key& key) const {
        for (const auto& entry : m_entries)
            if (entry->Key() == key)
                return entry.get();
        return nullptr;
    }
    Entry& Append(std::unique_ptr<Entry> entry) {
        m_entries.push_back(std::move(entry));
        return *m_entries.back();
    }
    void Clear() {
        // One by one, first to last: vector::clear leaves the order of destruction open.
        for (auto& entry : m_entries)
            entry.reset();
        m_entries.clear();
    }

private:
    std::vector<std::unique_ptr<Entry>> m_entries;
};
