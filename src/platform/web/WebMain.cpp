// The browser's face of GlimraCode: the functions the page's script calls. The page owns the
// canvas, the timer and the controls; everything that decides a pixel or a setting is here.
//
// Text goes in as UTF-8 and comes out as UTF-8 that stays valid until the next call that returns
// text. Numbers that describe the canvas are in device pixels.

#include <emscripten/emscripten.h>
#include <sys/stat.h>

#include <charconv>
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "animation/Glimra.h"
#include "engine/GlimraRandom.h"
#include "platform/web/WebCanvasPresenter.h"
#include "platform/web/WebRasteriser.h"
#include "platform/web/WebSettingsDesigner.h"
#include "settings/GlimraSettings.h"
#include "shell/GlimraRuntime.h"

namespace {

// The page's memory file system: the bundled font, where the modules look for it, and the settings.
constexpr const char* Folder = "/glimracode/";

struct WebPage {
    WebRasteriser Rasteriser;
    std::unique_ptr<WebSettingsDesigner> Designer;
    Pixmap Surface;
    std::unique_ptr<vGlimra> Engine;
    WebCanvasPresenter Presenter;
    std::string Text;
    // Last, so that it goes before the services it installed.
    std::unique_ptr<GlimraRuntime> Runtime;
};

WebPage* g_page = nullptr;

const char* Hand(std::string text) {
    g_page->Text = std::move(text);
    return g_page->Text.c_str();
}

} // namespace

extern "C" {

// Starts the modules with the bundled font's bytes; 0 when the font cannot be stored.
EMSCRIPTEN_KEEPALIVE int glimra_open(const char* font, int size) {
    if (g_page)
        return 1;
    mkdir(Folder, 0700);
    g_page = new WebPage;
    g_page->Designer = std::make_unique<WebSettingsDesigner>(std::string(Folder) + "settings");
    {
        std::ofstream file(std::string(Folder) + "GlimraCode.TTF", std::ios::binary | std::ios::trunc);
        file.write(font, size);
        if (!file)
            return 0;
    }
    g_page->Runtime = std::make_unique<GlimraRuntime>(
        GlimraServices{.Rasteriser = &g_page->Rasteriser, .Store = &g_page->Designer->Store()});
    g_page->Runtime->StartModules(Folder);
    g_page->Designer->Defaults();
    return 1;
}

// (Re)starts the animation on a canvas of width x height at pixelsPerInch, as the saver does when
// an output changes. seed is the renderer's --seed as text, or empty for the clock. Returns the
// tick delay in milliseconds, or -1 for a seed that is not a whole number.
EMSCRIPTEN_KEEPALIVE int glimra_start(int width, int height, int pixelsPerInch, const char* seed) {
    const std::string_view text = seed;
    if (text.empty()) {
        UnpinRandomSeed();
    } else {
        uint64_t value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc() || end != text.data() + text.size())
            return -1;
        PinRandomSeed(value);
    }
    WebPage& page = *g_page;
    page.Engine.reset();
    page.Rasteriser.SetPixelsPerInch(pixelsPerInch);
    page.Surface = Pixmap(width, height);
    page.Presenter.Resize(width, height);
    page.Engine = StartEngine(page.Surface, width, height);
    page.Surface.TrackDamage(true);
    return page.Engine->Delay();
}

// Runs ticks ticks and makes the canvas's copy current; returns how many rectangles the page must
// put on the canvas (none when nothing changed).
EMSCRIPTEN_KEEPALIVE int glimra_step(int ticks) {
    WebPage& page = *g_page;
    for (int tick = 0; tick < ticks; ++tick)
        page.Engine->Step(page.Surface);
    page.Presenter.Present(page.Surface);
    return static_cast<int>(page.Presenter.Rects().size() / 4);
}

EMSCRIPTEN_KEEPALIVE uint8_t* glimra_pixels() {
    return g_page->Presenter.Pixels();
}

// x, y, width, height of each rectangle of the last glimra_step.
EMSCRIPTEN_KEEPALIVE const int32_t* glimra_rects() {
    return g_page->Presenter.Rects().data();
}

EMSCRIPTEN_KEEPALIVE const char* glimra_settings() {
    return Hand(g_page->Designer->Json());
}

// A setting by its option name of --help, as an address gives it; the refusal, or "".
EMSCRIPTEN_KEEPALIVE const char* glimra_apply(const char* option, const char* value) {
    return Hand(g_page->Designer->Apply(option, value));
}

// An edit in the panel; the refusal, or "".
EMSCRIPTEN_KEEPALIVE const char* glimra_edit(const char* option, const char* text) {
    return Hand(g_page->Designer->Edit(option, text));
}

EMSCRIPTEN_KEEPALIVE void glimra_defaults() {
    g_page->Designer->Defaults();
}

EMSCRIPTEN_KEEPALIVE const char* glimra_link() {
    return Hand(g_page->Designer->Link());
}

EMSCRIPTEN_KEEPALIVE const char* glimra_export() {
    return Hand(g_page->Designer->Export());
}

// A registry-export file's bytes; the refusal, or "".
EMSCRIPTEN_KEEPALIVE const char* glimra_import(const char* bytes, int size, const char* name) {
    return Hand(g_page->Designer->Import(std::string_view(bytes, static_cast<size_t>(size)), name));
}

} // extern "C"
