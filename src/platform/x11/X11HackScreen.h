#pragma once

#include <memory>
#include <string>

#include "animation/Glimra.h"
#include "platform/x11/X11BackBuffer.h"
#include "platform/x11/X11EventWait.h"
#include "platform/x11/X11Headers.h"

// The animation in a window that a screen-saver daemon or a settings program chose (or in one of
// our own): the hack side of the program. Input never ends it; a stop signal, the window's
// destruction or the window manager's close button does. When the window changes size the engine
// is rebuilt for the new size, as the saver builds one engine per size.
//
// Each tick is the saver window's: Spawn, Tick(0), Draw, then only the changed area is presented.
class X11HackScreen {
public:
    X11HackScreen(Display* display, StopSignals& signals);
    ~X11HackScreen();
    X11HackScreen(const X11HackScreen&) = delete;
    X11HackScreen& operator=(const X11HackScreen&) = delete;

    // Draws into target until stopped. An empty text when it ran; otherwise why it could not start.
    std::string Run(Window target);
    // Makes an ordinary top-level window, draws into it until stopped, and destroys it.
    std::string RunInOwnWindow();

private:
    bool Build(int32_t width, int32_t height);
    void Tick();

    Display* m_display;
    StopSignals& m_signals;
    Window m_target = 0;
    Visual* m_visual = nullptr;
    int m_depth = 0;
    Atom m_deleteWindow = 0;
    std::unique_ptr<vGlimra> m_engine;
    std::unique_ptr<X11BackBuffer> m_buffer;
};
