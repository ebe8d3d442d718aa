#include "platform/wayland/WaylandSaver.h"

#include <poll.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/wayland/WaylandFace.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace {

// Listeners must answer every event their object can get; most of them the saver has no use for.
constexpr auto Ignore = [](auto...) {};

// evdev key codes as X and GDK number them, the hardware key code the logic has always been given.
constexpr uint32_t EvdevToHardwareKeycode = 8;

bool Named(const char* interface, const wl_interface& wanted) {
    return std::strcmp(interface, wanted.name) == 0;
}

template <typename T>
T* Bind(wl_registry* registry, uint32_t name, const wl_interface& interface, uint32_t offered,
        uint32_t wanted) {
    return static_cast<T*>(wl_registry_bind(registry, name, &interface, std::min(offered, wanted)));
}

const wl_output_listener OutputListener = {
    [](void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char*, const char*,
       int32_t transform) {
        auto* output = static_cast<WaylandOutput*>(data);
        output->GeometryPlace = {x, y};
        output->Transform = transform;
    },
    [](void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
        if ((flags & WL_OUTPUT_MODE_CURRENT) == 0)
            return;
        auto* output = static_cast<WaylandOutput*>(data);
        output->ModeWidth = width;
        output->ModeHeight = height;
    },
    [](void* data, wl_output*) {
        auto* output = static_cast<WaylandOutput*>(data);
        output->Described = true;
        output->Saver->ScheduleRearrange();
    },
    [](void* data, wl_output*, int32_t factor) {
        static_cast<WaylandOutput*>(data)->Scale = std::max(1, factor);
    },
    Ignore,
    Ignore,
};

const zxdg_output_v1_listener XdgOutputListener = {
    [](void* data, zxdg_output_v1*, int32_t x, int32_t y) {
        auto* output = static_cast<WaylandOutput*>(data);
        output->PlacedByXdg = true;
        output->XdgPlace = {x, y};
    },
    [](void* data, zxdg_output_v1*, int32_t width, int32_t height) {
        auto* output = static_cast<WaylandOutput*>(data);
        output->LogicalWidth = width;
        output->LogicalHeight = height;
    },
    Ignore,
    Ignore,
    Ignore,
};

} // namespace

bool RunWaylandSaver(StopSignals& signals) {
    WaylandSaver saver(signals);
    const WaylandSaver::Outcome outcome = saver.Run();
    if (outcome == WaylandSaver::Outcome::Ended)
        return true;
    if (outcome == WaylandSaver::Outcome::Unreachable) {
        const char* name = std::getenv("WAYLAND_DISPLAY");
        std::fprintf(stderr, "glimracode: cannot connect to the Wayland display '%s'\n",
                     name != nullptr && *name != '\0' ? name : "wayland-0");
    } else {
        std::fprintf(stderr, "glimracode: %s\n", saver.Problem().c_str());
    }
    return false;
}

WaylandSaver::WaylandSaver(StopSignals& signals) : m_signals(signals) {
}

WaylandSaver::~WaylandSaver() {
    m_screens.clear();
    for (const std::unique_ptr<Seat>& seat : m_seats) {
        ReleaseDevices(*seat, true, true);
        wl_seat_destroy(seat->Handle);
    }
    for (const std::unique_ptr<WaylandOutput>& output : m_outputs) {
        if (output->Xdg != nullptr)
            zxdg_output_v1_destroy(output->Xdg);
        wl_output_destroy(output->Handle);
    }
    if (m_xdgOutputs != nullptr)
        zxdg_output_manager_v1_destroy(m_xdgOutputs);
    if (m_shells.LayerShell != nullptr)
        zwlr_layer_shell_v1_destroy(m_shells.LayerShell);
    if (m_shells.WmBase != nullptr)
        xdg_wm_base_destroy(m_shells.WmBase);
    if (m_shm.Shm != nullptr)
        wl_shm_destroy(m_shm.Shm);
    if (m_shm.Compositor != nullptr)
        wl_compositor_destroy(m_shm.Compositor);
    if (m_registry != nullptr)
        wl_registry_destroy(m_registry);
    if (m_display != nullptr) {
        // The compositor takes the surfaces away only once it has heard of their end.
        wl_display_flush(m_display);
        wl_display_disconnect(m_display);
    }
}

WaylandSaver::Outcome WaylandSaver::Run() {
    m_display = wl_display_connect(nullptr);
    if (m_display == nullptr)
        return Outcome::Unreachable;
    if (!Connect())
        return Outcome::Failed;
    Rearrange();
    Loop();
    for (const std::unique_ptr<WaylandOutputScreen>& screen : m_screens)
        screen->Form().FormClose();
    m_screens.clear();
    return m_problem.empty() ? Outcome::Ended : Outcome::Failed;
}

bool WaylandSaver::Connect() {
    static const wl_registry_listener Listener = {OnGlobal, OnGlobalRemove};
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &Listener, this);
    // The first round trip lists the globals; the second brings what the bound ones tell at once
    // (the outputs' modes and scales, the seats' devices).
    if (wl_display_roundtrip(m_display) < 0 || wl_display_roundtrip(m_display) < 0) {
        Fail("the Wayland connection failed");
        return false;
    }
    if (m_shm.Compositor == nullptr || m_shm.Shm == nullptr) {
        Fail("the Wayland compositor offers no wl_compositor or wl_shm");
        return false;
    }
    if (m_shells.LayerShell == nullptr && m_shells.WmBase == nullptr) {
        Fail("the Wayland compositor offers neither layer shell nor xdg-shell");
        return false;
    }
    m_shm.Display = m_display;
    return true;
}

void WaylandSaver::Fail(const std::string& problem) {
    if (m_problem.empty()) {
        m_problem = problem;
        if (const int error = m_display != nullptr ? wl_display_get_error(m_display) : 0; error != 0)
            m_problem += std::string(": ") + std::strerror(error);
    }
    EndAll();
}

void WaylandSaver::Loop() {
    const int fd = wl_display_get_fd(m_display);
    if (m_signals.Raised())
        EndAll();
    while (!m_ending) {
        if (m_rearrange) {
            m_rearrange = false;
            Rearrange();
        }
        // By index: a handler may end the saver, but it never adds or removes screens.
        for (size_t i = 0; i < m_screens.size() && !m_ending; ++i)
            m_screens[i]->FireTimers();
        if (m_ending)
            break;

        while (wl_display_prepare_read(m_display) != 0)
            if (wl_display_dispatch_pending(m_display) < 0)
                return Fail("the Wayland connection failed");
        // A full socket is a compositor that is not reading: wait until it can take more. Frames
        // wait meanwhile (the presenter asks the socket itself).
        short wanted = POLLIN;
        if (wl_display_flush(m_display) < 0) {
            if (errno != EAGAIN) {
                wl_display_cancel_read(m_display);
                return Fail("the Wayland connection closed");
            }
            wanted |= POLLOUT;
        }
        const PollTimers::Clock::time_point now = PollTimers::Clock::now();
        int timeout = -1;
        for (const std::unique_ptr<WaylandOutputScreen>& screen : m_screens) {
            const int next = screen->TimeoutMs(now);
            if (next >= 0 && (timeout < 0 || next < timeout))
                timeout = next;
        }
        if (m_rearrange)
            timeout = 0;
        pollfd fds[2] = {{fd, wanted, 0}, {m_signals.Fd(), POLLIN, 0}};
        const int ready = poll(fds, m_signals.Fd() >= 0 ? 2 : 1, timeout);
        if (ready < 0 && errno != EINTR) {
            wl_display_cancel_read(m_display);
            return Fail("waiting for the Wayland connection failed");
        }
        if (ready > 0 && (fds[0].revents & POLLIN) != 0) {
            if (wl_display_read_events(m_display) < 0)
                return Fail("the Wayland connection closed");
        } else {
            wl_display_cancel_read(m_display);
            if (ready > 0 && (fds[0].revents & (POLLERR | POLLHUP)) != 0)
                return Fail("the Wayland connection closed");
        }
        if (!Dispatch())
            return;
        if (m_signals.Raised())
            EndAll();
    }
}

bool WaylandSaver::Dispatch() {
    if (wl_display_dispatch_pending(m_display) >= 0)
        return true;
    Fail("the Wayland connection failed");
    return false;
}

void WaylandSaver::OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                            uint32_t version) {
    auto* saver = static_cast<WaylandSaver*>(data);
    if (Named(interface, wl_compositor_interface) && saver->m_shm.Compositor == nullptr) {
        // Version 4 has damage in buffer pixels.
        saver->m_shm.Compositor = Bind<wl_compositor>(registry, name, wl_compositor_interface, version, 4);
    } else if (Named(interface, wl_shm_interface) && saver->m_shm.Shm == nullptr) {
        saver->m_shm.Shm = Bind<wl_shm>(registry, name, wl_shm_interface, version, 1);
        static const wl_shm_listener ShmListener = {Ignore};
        wl_shm_add_listener(saver->m_shm.Shm, &ShmListener, nullptr);
    } else if (Named(interface, zwlr_layer_shell_v1_interface) && saver->m_shells.LayerShell == nullptr) {
        saver->m_shells.LayerShell =
            Bind<zwlr_layer_shell_v1>(registry, name, zwlr_layer_shell_v1_interface, version, 1);
    } else if (Named(interface, xdg_wm_base_interface) && saver->m_shells.WmBase == nullptr) {
        saver->m_shells.WmBase = Bind<xdg_wm_base>(registry, name, xdg_wm_base_interface, version, 1);
        static const xdg_wm_base_listener WmBaseListener = {
            [](void*, xdg_wm_base* base, uint32_t serial) { xdg_wm_base_pong(base, serial); }};
        xdg_wm_base_add_listener(saver->m_shells.WmBase, &WmBaseListener, nullptr);
    } else if (Named(interface, zxdg_output_manager_v1_interface) && saver->m_xdgOutputs == nullptr) {
        // Version 2 still sends xdg-output's own done, which the saver needs no more than wl_output's.
        saver->m_xdgOutputs =
            Bind<zxdg_output_manager_v1>(registry, name, zxdg_output_manager_v1_interface, version, 2);
        for (const std::unique_ptr<WaylandOutput>& output : saver->m_outputs)
            saver->BindXdgOutput(*output);
    } else if (Named(interface, wl_output_interface) && version >= 2) {
        // Version 2 tells the scale.
        auto output = std::make_unique<WaylandOutput>();
        output->Name = name;
        output->Handle = Bind<wl_output>(registry, name, wl_output_interface, version, 2);
        output->Saver = saver;
        wl_output_add_listener(output->Handle, &OutputListener, output.get());
        saver->BindXdgOutput(*output);
        saver->m_outputs.push_back(std::move(output));
    } else if (Named(interface, wl_seat_interface)) {
        auto seat = std::make_unique<Seat>();
        seat->Name = name;
        seat->Saver = saver;
        seat->Handle = Bind<wl_seat>(registry, name, wl_seat_interface, version, 5);
        static const wl_seat_listener SeatListener = {OnSeatCapabilities, Ignore};
        wl_seat_add_listener(seat->Handle, &SeatListener, seat.get());
        saver->m_seats.push_back(std::move(seat));
    }
}

void WaylandSaver::BindXdgOutput(WaylandOutput& output) {
    if (m_xdgOutputs == nullptr || output.Xdg != nullptr)
        return;
    output.Xdg = zxdg_output_manager_v1_get_xdg_output(m_xdgOutputs, output.Handle);
    zxdg_output_v1_add_listener(output.Xdg, &XdgOutputListener, &output);
}

void WaylandSaver::OnGlobalRemove(void* data, wl_registry*, uint32_t name) {
    auto* saver = static_cast<WaylandSaver*>(data);
    const auto output = std::find_if(saver->m_outputs.begin(), saver->m_outputs.end(),
                                     [name](const auto& output) { return output->Name == name; });
    if (output != saver->m_outputs.end()) {
        // The output is gone, not the saver: its surface and engine go without a wake-up.
        WaylandOutput* gone = output->get();
        std::erase_if(saver->m_screens, [gone](const auto& screen) { return &screen->Output() == gone; });
        if (gone->Xdg != nullptr)
            zxdg_output_v1_destroy(gone->Xdg);
        wl_output_destroy(gone->Handle);
        saver->m_outputs.erase(output);
        // The densest scale may have changed with it.
        saver->ScheduleRearrange();
        return;
    }
    const auto seat = std::find_if(saver->m_seats.begin(), saver->m_seats.end(),
                                   [name](const auto& seat) { return seat->Name == name; });
    if (seat != saver->m_seats.end()) {
        saver->ReleaseDevices(**seat, true, true);
        wl_seat_destroy((*seat)->Handle);
        saver->m_seats.erase(seat);
    }
}

void WaylandSaver::OnSeatCapabilities(void* data, wl_seat* handle, uint32_t capabilities) {
    auto* seat = static_cast<Seat*>(data);
    // A keyboard or mouse that leaves and comes back (a wireless one waking) is a new device.
    const bool keyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
    if (keyboard && seat->Keyboard == nullptr) {
        seat->Keyboard = wl_seat_get_keyboard(handle);
        static const wl_keyboard_listener KeyboardListener = {
            // The keymap comes as a descriptor that is ours to close; key codes are all the logic needs.
            [](void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t) { close(fd); },
            Ignore,
            Ignore,
            OnKey,
            Ignore,
            Ignore,
        };
        wl_keyboard_add_listener(seat->Keyboard, &KeyboardListener, seat);
    }
    const bool pointer = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
    if (pointer && seat->Pointer == nullptr) {
        seat->Pointer = wl_seat_get_pointer(handle);
        static const wl_pointer_listener PointerListener = {
            OnPointerEnter, OnPointerLeave, OnPointerMotion, OnPointerButton, Ignore,
            Ignore,         Ignore,         Ignore,          Ignore,          Ignore,
        };
        wl_pointer_add_listener(seat->Pointer, &PointerListener, seat);
    }
    seat->Saver->ReleaseDevices(*seat, !keyboard, !pointer);
}

void WaylandSaver::ReleaseDevices(Seat& seat, bool keyboard, bool pointer) {
    // Release needs version 3 of the seat; before it, the proxies can only be forgotten.
    const bool release = wl_proxy_get_version(reinterpret_cast<wl_proxy*>(seat.Handle)) >= 3;
    if (keyboard && seat.Keyboard != nullptr) {
        release ? wl_keyboard_release(seat.Keyboard) : wl_keyboard_destroy(seat.Keyboard);
        seat.Keyboard = nullptr;
    }
    if (pointer && seat.Pointer != nullptr) {
        release ? wl_pointer_release(seat.Pointer) : wl_pointer_destroy(seat.Pointer);
        seat.Pointer = nullptr;
        seat.PointerSurface = nullptr;
    }
}

void WaylandSaver::OnKey(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t state) {
    if (state != WL_KEYBOARD_KEY_STATE_PRESSED)
        return;
    static_cast<Seat*>(data)->Saver->KeyPressed(
        GlimraMessage{WmKeyDown, uintptr_t{key} + EvdevToHardwareKeycode, 0});
}

void WaylandSaver::OnPointerEnter(void* data, wl_pointer*, uint32_t serial, wl_surface* surface, int32_t x,
                                  int32_t y) {
    auto* seat = static_cast<Seat*>(data);
    seat->PointerSurface = surface;
    seat->EnterSerial = serial;
    WaylandSaver* saver = seat->Saver;
    saver->HidePointerIfAsked(*seat);
    OnPointerMotion(data, nullptr, 0, x, y);
}

void WaylandSaver::OnPointerLeave(void* data, wl_pointer*, uint32_t, wl_surface*) {
    static_cast<Seat*>(data)->PointerSurface = nullptr;
}

void WaylandSaver::OnPointerMotion(void* data, wl_pointer*, uint32_t, int32_t x, int32_t y) {
    auto* seat = static_cast<Seat*>(data);
    const WaylandOutputScreen* screen = seat->Saver->ScreenOf(seat->PointerSurface);
    if (screen == nullptr)
        return;
    // Surface positions are logical pixels from the output's corner, which sits at the output's
    // place in the compositor's layout.
    const GlimraPoint place = screen->Output().Place();
    seat->Saver->PointerAt(place.X + wl_fixed_to_double(x), place.Y + wl_fixed_to_double(y));
}

void WaylandSaver::OnPointerButton(void* data, wl_pointer*, uint32_t, uint32_t, uint32_t, uint32_t state) {
    auto* seat = static_cast<Seat*>(data);
    if (state != WL_POINTER_BUTTON_STATE_PRESSED || seat->Saver->m_ending)
        return;
    if (WaylandOutputScreen* screen = seat->Saver->ScreenOf(seat->PointerSurface))
        screen->Form().screenpaintClick();
}

void WaylandSaver::HidePointerIfAsked(Seat& seat) {
    const WaylandOutputScreen* screen = ScreenOf(seat.PointerSurface);
    // No cursor image: the saver has none to show, and the compositor's comes back when it leaves.
    if (screen != nullptr && screen->PointerHidden() && seat.Pointer != nullptr)
        wl_pointer_set_cursor(seat.Pointer, seat.EnterSerial, nullptr, 0, 0);
}

void WaylandSaver::PointerShownChanged(WaylandOutputScreen& screen) {
    for (const std::unique_ptr<Seat>& seat : m_seats)
        if (seat->PointerSurface == screen.WlSurface())
            HidePointerIfAsked(*seat);
}

WaylandOutputScreen* WaylandSaver::ScreenOf(wl_surface* surface) const {
    if (surface == nullptr)
        return nullptr;
    for (const std::unique_ptr<WaylandOutputScreen>& screen : m_screens)
        if (screen->WlSurface() == surface)
            return screen.get();
    return nullptr;
}

void WaylandSaver::Rearrange() {
    if (m_ending)
        return;
    // An output whose size or scale changed gets a new surface and a new engine at the new size;
    // one that is not yet described (a compositor tells a new output's size a moment after the
    // output itself) waits for its description.
    const int32_t densest = ::DensestScale(m_outputs);
    std::erase_if(m_screens, [densest](const std::unique_ptr<WaylandOutputScreen>& screen) {
        return screen->Output().Refused || !screen->Fits(densest);
    });
    for (const std::unique_ptr<WaylandOutput>& output : m_outputs) {
        const bool shown = std::any_of(m_screens.begin(), m_screens.end(), [&output](const auto& screen) {
            return &screen->Output() == output.get();
        });
        if (shown || !output->Coverable())
            continue;
        m_screens.push_back(std::make_unique<WaylandOutputScreen>(*this, *output, densest, m_shm, m_shells));
    }
}

void WaylandSaver::KeyPressed(const GlimraMessage& message) {
    Broadcast(message);
}

void WaylandSaver::PointerAt(double x, double y) {
    if (const std::optional<GlimraMessage> message = m_pointer.PointerAt(x, y))
        Broadcast(*message);
}

void WaylandSaver::Broadcast(const GlimraMessage& message) {
    // By index: a handler may end the saver, but it never adds or removes screens.
    for (size_t i = 0; i < m_screens.size() && !m_ending; ++i)
        if (m_screens[i]->FilterInstalled())
            m_screens[i]->Form().AppMessage(message);
}

void WaylandSaver::OutputClosed() {
    EndAll();
}

void WaylandSaver::EndAll() {
    if (m_ending)
        return;
    m_ending = true;
    for (const std::unique_ptr<WaylandOutputScreen>& screen : m_screens)
        if (screen->Form().engine() != nullptr)
            screen->Form().StopSaver();
}
