#pragma once

#include <cstdint>
#include <memory>

#include "animation/Glimra.h"
#include "shell/GlimraSaverHost.h"

// The full-screen saver window's logic: it owns one engine while it runs, ticks it from the main
// timer, and closes on a key, command, activation, click, or a mouse movement of more than five
// pixels once the pointer's grace period is over; on Windows 95/98 the password is asked first.
class Tglimrascreen {
public:
    explicit Tglimrascreen(GlimraSaverHost& host);
    ~Tglimrascreen();
    Tglimrascreen(const Tglimrascreen&) = delete;
    Tglimrascreen& operator=(const Tglimrascreen&) = delete;

    void FormCreate();
    void FormClose();
    void SetGeometry();
    void StartSaver();
    void AppMessage(const GlimraMessage& message);
    void screenpaintClick();
    void timerTimer();
    void pwddlgtimerTimer();
    void mousetimerTimer();
    // Runs the handler of the timer that fired, as each host's timer source reports it.
    void TimerFired(GlimraTimer timer);
    void TryClose();
    bool CheckPassword();
    void StopSaver();
    bool IsWin9x();

    vGlimra* engine() const { return m_engine.get(); }
    GlimraPoint startpos() const { return m_startpos; }
    bool pwddlgactive() const { return m_pwddlgactive; }
    bool mousearmed() const { return m_mousearmed; }
    int32_t mouseticks() const { return m_mouseticks; }
    int32_t screenwidth() const { return m_screenwidth; }
    int32_t screenheight() const { return m_screenheight; }

    // The password dialog's lock-out and the pointer's grace period.
    static constexpr int32_t PasswordTimerMs = 1000;
    static constexpr int32_t MouseTimerMs = 1000;
    // Pointer movement up to this many pixels on both axes does not wake the saver.
    static constexpr int32_t MouseSlack = 5;

private:
    GlimraSaverHost& m_host;
    std::unique_ptr<vGlimra> m_engine;
    GlimraPoint m_startpos;
    bool m_pwddlgactive = false;
    int32_t m_screenwidth = 0;
    int32_t m_screenheight = 0;
    int32_t m_mouseticks = 0;
    bool m_mousearmed = false;
    bool m_running = false;
};
