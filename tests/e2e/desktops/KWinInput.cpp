// glimra-kwin-input [--panel WxH]: a user's hands on a headless KWin, which offers no virtual
// keyboard to wtype: keys and pointer moves through KWin's fake-input protocol (granted when KWin
// runs with KWIN_WAYLAND_NO_PERMISSION_CHECKS=1), told by lines on stdin:
//   key CODE        an evdev key code, pressed and released
//   move DX DY      the pointer moved by that many pixels
//   inhibit on|off  an idle inhibitor on the panel, as a video player keeps on its window
// With --panel it first shows a red panel of that size at the top left, with Plasma's own role and
// the behaviour that puts it highest (windows go below it), for the saver to cover. One connection
// for the whole test, so that the seat keeps its devices. Prints "ready" once set up and
// "done LINE" once KWin has had each command.

#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fake-input-client-protocol.h"
#include "idle-inhibit-unstable-v1-client-protocol.h"
#include "plasma-shell-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace {

struct Globals {
    wl_compositor* Compositor = nullptr;
    wl_shm* Shm = nullptr;
    xdg_wm_base* WmBase = nullptr;
    org_kde_plasma_shell* PlasmaShell = nullptr;
    org_kde_kwin_fake_input* FakeInput = nullptr;
    zwp_idle_inhibit_manager_v1* Inhibits = nullptr;
    bool Configured = false;
};

template <typename T>
T* Bind(wl_registry* registry, uint32_t name, const wl_interface* interface, uint32_t offered,
        uint32_t wanted) {
    return static_cast<T*>(wl_registry_bind(registry, name, interface, offered < wanted ? offered : wanted));
}

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    auto* g = static_cast<Globals*>(data);
    if (std::strcmp(interface, wl_compositor_interface.name) == 0)
        g->Compositor = Bind<wl_compositor>(registry, name, &wl_compositor_interface, version, 4);
    else if (std::strcmp(interface, wl_shm_interface.name) == 0)
        g->Shm = Bind<wl_shm>(registry, name, &wl_shm_interface, version, 1);
    else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0)
        g->WmBase = Bind<xdg_wm_base>(registry, name, &xdg_wm_base_interface, version, 1);
    else if (std::strcmp(interface, org_kde_plasma_shell_interface.name) == 0)
        g->PlasmaShell =
            Bind<org_kde_plasma_shell>(registry, name, &org_kde_plasma_shell_interface, version, 4);
    else if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0)
        g->FakeInput =
            Bind<org_kde_kwin_fake_input>(registry, name, &org_kde_kwin_fake_input_interface, version, 4);
    else if (std::strcmp(interface, zwp_idle_inhibit_manager_v1_interface.name) == 0)
        g->Inhibits = Bind<zwp_idle_inhibit_manager_v1>(registry, name,
                                                        &zwp_idle_inhibit_manager_v1_interface, version, 1);
}

void OnGlobalRemove(void*, wl_registry*, uint32_t) {
}

const wl_registry_listener RegistryListener = {OnGlobal, OnGlobalRemove};

void OnPing(void*, xdg_wm_base* base, uint32_t serial) {
    xdg_wm_base_pong(base, serial);
}

const xdg_wm_base_listener WmBaseListener = {OnPing};

void OnSurfaceConfigure(void* data, xdg_surface* surface, uint32_t serial) {
    xdg_surface_ack_configure(surface, serial);
    static_cast<Globals*>(data)->Configured = true;
}

const xdg_surface_listener SurfaceListener = {OnSurfaceConfigure};

void OnToplevelConfigure(void*, xdg_toplevel*, int32_t, int32_t, wl_array*) {
}
void OnToplevelClose(void*, xdg_toplevel*) {
}
void OnToplevelBounds(void*, xdg_toplevel*, int32_t, int32_t) {
}
void OnToplevelCapabilities(void*, xdg_toplevel*, wl_array*) {
}

const xdg_toplevel_listener ToplevelListener = {OnToplevelConfigure, OnToplevelClose, OnToplevelBounds,
                                                OnToplevelCapabilities};

wl_buffer* RedBuffer(wl_shm* shm, int width, int height) {
    const int stride = width * 4, size = stride * height;
    char name[] = "/tmp/glimra-panel-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0)
        return nullptr;
    unlink(name);
    if (ftruncate(fd, size) != 0) {
        close(fd);
        return nullptr;
    }
    void* pixels = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (pixels == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    for (int i = 0; i < width * height; ++i)
        static_cast<uint32_t*>(pixels)[i] = 0xFFFF0000u;
    munmap(pixels, size);
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, size);
    wl_buffer* buffer = wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    return buffer;
}

int Fail(const char* why) {
    std::fprintf(stderr, "glimra-kwin-input: %s\n", why);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    int panelWidth = 0, panelHeight = 0;
    if (argc == 3 && std::strcmp(argv[1], "--panel") == 0 &&
        std::sscanf(argv[2], "%dx%d", &panelWidth, &panelHeight) != 2)
        return Fail("usage: glimra-kwin-input [--panel WxH]");
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr)
        return Fail("cannot connect to the Wayland display");
    Globals g;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &RegistryListener, &g);
    wl_display_roundtrip(display);
    if (g.FakeInput == nullptr)
        return Fail("KWin offers no fake input (run it with KWIN_WAYLAND_NO_PERMISSION_CHECKS=1)");
    org_kde_kwin_fake_input_authenticate(g.FakeInput, "glimra-kwin-input", "end-to-end tests");

    wl_surface* panel = nullptr;
    if (panelWidth > 0) {
        if (g.Compositor == nullptr || g.Shm == nullptr || g.WmBase == nullptr || g.PlasmaShell == nullptr)
            return Fail("KWin offers no Plasma panels here");
        xdg_wm_base_add_listener(g.WmBase, &WmBaseListener, nullptr);
        panel = wl_compositor_create_surface(g.Compositor);
        xdg_surface* surface = xdg_wm_base_get_xdg_surface(g.WmBase, panel);
        xdg_surface_add_listener(surface, &SurfaceListener, &g);
        xdg_toplevel* toplevel = xdg_surface_get_toplevel(surface);
        xdg_toplevel_add_listener(toplevel, &ToplevelListener, nullptr);
        xdg_toplevel_set_title(toplevel, "glimra-panel");
        org_kde_plasma_surface* role = org_kde_plasma_shell_get_surface(g.PlasmaShell, panel);
        org_kde_plasma_surface_set_role(role, ORG_KDE_PLASMA_SURFACE_ROLE_PANEL);
        org_kde_plasma_surface_set_panel_behavior(role,
                                                  ORG_KDE_PLASMA_SURFACE_PANEL_BEHAVIOR_WINDOWS_GO_BELOW);
        org_kde_plasma_surface_set_position(role, 0, 0);
        wl_surface_commit(panel);
        while (!g.Configured && wl_display_dispatch(display) >= 0) {
        }
        wl_surface_attach(panel, RedBuffer(g.Shm, panelWidth, panelHeight), 0, 0);
        wl_surface_damage(panel, 0, 0, panelWidth, panelHeight);
        wl_surface_commit(panel);
    }
    if (wl_display_roundtrip(display) < 0)
        return Fail("KWin refused the set-up");
    std::puts("ready");
    std::fflush(stdout);

    zwp_idle_inhibitor_v1* inhibitor = nullptr;
    std::string pending;
    pollfd fds[2] = {{wl_display_get_fd(display), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    for (;;) {
        while (wl_display_prepare_read(display) != 0)
            wl_display_dispatch_pending(display);
        wl_display_flush(display);
        if (poll(fds, 2, -1) < 0) {
            wl_display_cancel_read(display);
            continue;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            if (wl_display_read_events(display) < 0)
                return Fail("KWin went away");
        } else {
            wl_display_cancel_read(display);
        }
        wl_display_dispatch_pending(display);
        if ((fds[1].revents & (POLLIN | POLLHUP)) == 0)
            continue;
        char chunk[256];
        const ssize_t got = read(STDIN_FILENO, chunk, sizeof chunk);
        if (got <= 0)
            break;
        pending.append(chunk, static_cast<size_t>(got));
        for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
            const std::string line = pending.substr(0, end);
            unsigned code = 0;
            int dx = 0, dy = 0;
            if (std::sscanf(line.c_str(), "key %u", &code) == 1) {
                org_kde_kwin_fake_input_keyboard_key(g.FakeInput, code, 1);
                org_kde_kwin_fake_input_keyboard_key(g.FakeInput, code, 0);
            } else if (std::sscanf(line.c_str(), "move %d %d", &dx, &dy) == 2) {
                org_kde_kwin_fake_input_pointer_motion(g.FakeInput, wl_fixed_from_int(dx),
                                                       wl_fixed_from_int(dy));
            } else if (line == "inhibit on" && panel != nullptr && g.Inhibits != nullptr &&
                       inhibitor == nullptr) {
                inhibitor = zwp_idle_inhibit_manager_v1_create_inhibitor(g.Inhibits, panel);
            } else if (line == "inhibit off" && inhibitor != nullptr) {
                zwp_idle_inhibitor_v1_destroy(inhibitor);
                inhibitor = nullptr;
            } else {
                std::printf("unknown %s\n", line.c_str());
                std::fflush(stdout);
                continue;
            }
            wl_display_roundtrip(display);
            std::printf("done %s\n", line.c_str());
            std::fflush(stdout);
        }
    }
    wl_display_disconnect(display);
    return 0;
}
