#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/linux/StopSignals.h"
#include "platform/wayland/WaylandOutputScreen.h"
#include "platform/wayland/WaylandPointerAnchor.h"

struct wl_display;
struct wl_keyboard;
struct wl_pointer;
struct wl_registry;
struct wl_seat;
struct zxdg_output_manager_v1;

// The saver on a Wayland desktop, over libwayland-client alone: one WaylandOutputScreen per output,
// each with its own logic and engine, for as long as the output exists. The desktop wakes as a
// whole: a key or pointer motion anywhere reaches every output's logic, as the application-wide
// message filter would, and the first output that closes, or a stop signal, ends them all.
//
// One thread, one loop: Run sleeps in poll() on the connection, the stop signals and the nearest
// of every output's timers, flushing what it queued before it sleeps.
class WaylandSaver final : public WaylandOutputOwner {
public:
    enum class Outcome {
        // Shown until it woke or a stop signal came.
        Ended,
        // No compositor answered; nothing was shown.
        Unreachable,
        // The compositor cannot show the saver, or the connection failed or closed while it ran.
        Failed,
    };

    explicit WaylandSaver(StopSignals& signals);
    ~WaylandSaver();
    WaylandSaver(const WaylandSaver&) = delete;
    WaylandSaver& operator=(const WaylandSaver&) = delete;

    Outcome Run();
    // Why Run failed, for the user.
    const std::string& Problem() const { return m_problem; }

    // What the outputs report.
    void KeyPressed(const GlimraMessage& message);
    // The pointer at a position in the compositor's layout, in logical pixels.
    void PointerAt(double x, double y);
    void OutputClosed() override;
    void PointerShownChanged(WaylandOutputScreen& screen) override;
    // Brings the outputs in line with the compositor's once the events at hand are dispatched: a
    // mode change reports the size and the scale one after the other, and a surface's own events
    // must not destroy it.
    void ScheduleRearrange() override { m_rearrange = true; }
    bool Ending() const override { return m_ending; }

private:
    struct Seat {
        uint32_t Name = 0;
        wl_seat* Handle = nullptr;
        wl_keyboard* Keyboard = nullptr;
        wl_pointer* Pointer = nullptr;
        // The surface the pointer is over, and the serial of its entering, which hiding it needs.
        wl_surface* PointerSurface = nullptr;
        uint32_t EnterSerial = 0;
        WaylandSaver* Saver = nullptr;
    };

    bool Connect();
    void Loop();
    // False, with the problem noted, when the connection has failed.
    bool Dispatch();
    void Fail(const std::string& problem);
    void Rearrange();
    WaylandOutputScreen* ScreenOf(wl_surface* surface) const;
    void Broadcast(const GlimraMessage& message);
    void EndAll();
    void HidePointerIfAsked(Seat& seat);
    void ReleaseDevices(Seat& seat, bool keyboard, bool pointer);
    void BindXdgOutput(WaylandOutput& output);

    static void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                         uint32_t version);
    static void OnGlobalRemove(void* data, wl_registry* registry, uint32_t name);
    static void OnSeatCapabilities(void* data, wl_seat* seat, uint32_t capabilities);
    static void OnKey(void* data, wl_keyboard* keyboard, uint32_t serial, uint32_t time, uint32_t key,
                      uint32_t state);
    static void OnPointerEnter(void* data, wl_pointer* pointer, uint32_t serial, wl_surface* surface,
                               int32_t x, int32_t y);
    static void OnPointerLeave(void* data, wl_pointer* pointer, uint32_t serial, wl_surface* surface);
    static void OnPointerMotion(void* data, wl_pointer* pointer, uint32_t time, int32_t x, int32_t y);
    static void OnPointerButton(void* data, wl_pointer* pointer, uint32_t serial, uint32_t time,
                                uint32_t button, uint32_t state);

    StopSignals& m_signals;
    wl_display* m_display = nullptr;
    wl_registry* m_registry = nullptr;
    WaylandShmGlobals m_shm;
    WaylandShells m_shells;
    zxdg_output_manager_v1* m_xdgOutputs = nullptr;
    std::vector<std::unique_ptr<WaylandOutput>> m_outputs;
    std::vector<std::unique_ptr<Seat>> m_seats;
    bool m_rearrange = false;
    bool m_ending = false;
    std::string m_problem;
    WaylandPointerAnchor m_pointer;
    // Last: the screens go before the outputs and globals they use.
    std::vector<std::unique_ptr<WaylandOutputScreen>> m_screens;
};
