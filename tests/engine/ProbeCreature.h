#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/GlimraCell.h"

// A creature for grid tests: it counts its lives, logs its ticks and draws, and runs whatever a
// test gives it on Tick (after the default protocol, or instead of it).
class ProbeCreature : public vGlimraCreature {
public:
    struct Log {
        int constructed = 0;
        int destroyed = 0;
        std::vector<std::string> events;
    };

    ProbeCreature(Log& log, std::string name, int32_t stateCount = 1000)
        : m_log(log), m_name(std::move(name)) {
        StateCount = stateCount;
        ++m_log.constructed;
        m_log.events.push_back("new " + m_name);
    }
    ~ProbeCreature() override {
        if (onDestroy)
            onDestroy();
        ++m_log.destroyed;
        m_log.events.push_back("free " + m_name);
    }

    static CreatureClassRef Class();
    CreatureClassRef InstanceClass() const override { return Class(); }

    void Tick(int32_t counter) override {
        ++ticks;
        lastCounter = counter;
        m_log.events.push_back("tick " + m_name + " " + std::to_string(Row()));
        if (onTick) {
            // The hook may destroy this creature; it is the last thing done here.
            auto hook = onTick;
            hook(*this);
            return;
        }
        vGlimraCreature::Tick(counter);
    }

    void Draw(Pixmap& dc, int32_t left, int32_t top, int32_t width, int32_t height) override {
        m_log.events.push_back("draw " + m_name);
        drawn.push_back({left, top, width, height});
        for (int32_t y = top; y < top + height; ++y)
            for (int32_t x = left; x < left + width; ++x)
                dc.SetPixel(x, y, paint);
    }

    int64_t PictureKey() const override { return pictureKey; }

    int32_t Row() const { return Cell ? Cell->IndexInColony() : -1; }

    struct Rect {
        int32_t left, top, width, height;
    };
    std::function<void(ProbeCreature&)> onTick;
    std::function<void()> onDestroy;
    int ticks = 0;
    int32_t lastCounter = -1;
    uint32_t paint = 0xFFFFFF;
    // RepaintAlways, as the base answers, unless a test pins a picture.
    int64_t pictureKey = RepaintAlways;
    std::vector<Rect> drawn;

private:
    Log& m_log;
    std::string m_name;
};

// A class object whose virtual constructor makes probes that log into one shared log.
class ProbeClass : public GlimraCreatureClass {
public:
    explicit ProbeClass(const char* name = "probe") : GlimraCreatureClass(name) {}
    std::unique_ptr<vGlimraCreature> Create() const override {
        ++created;
        return std::make_unique<ProbeCreature>(*log, std::string(Name()) + std::to_string(created));
    }
    void PrepareGlyphs(Pixmap&, int32_t glyphWidth, int32_t glyphHeight) const override {
        prepared.push_back(std::string(Name()) + " " + std::to_string(glyphWidth) + "x" +
                           std::to_string(glyphHeight));
    }

    ProbeCreature::Log* log = nullptr;
    mutable int created = 0;
    static inline std::vector<std::string> prepared;
};

inline CreatureClassRef ProbeCreature::Class() {
    static const ProbeClass probeClass;
    return &probeClass;
}
