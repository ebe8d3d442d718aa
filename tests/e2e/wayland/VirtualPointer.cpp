// glimra-virtual-pointer: gives a headless compositor's seat a pointer until it is stopped.
//
// A headless wlroots compositor has no input devices, so its seat offers clients no pointer at all
// and the compositor's own cursor commands reach nobody. A virtual pointer is a device like any
// other: while this program keeps one, the seat has a pointer and the tests can move and click it.
// Debian ships no description of the virtual-pointer protocol, so the little of it used here is
// spelt out by hand.

#include <wayland-client.h>

#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

const wl_interface VirtualPointerInterface = {"zwlr_virtual_pointer_v1", 1, 0, nullptr, 0, nullptr};

const wl_interface* CreateTypes[] = {&wl_seat_interface, &VirtualPointerInterface};
const wl_message ManagerRequests[] = {
    {"create_virtual_pointer", "?on", CreateTypes},
    {"destroy", "", nullptr},
};
const wl_interface ManagerInterface = {"zwlr_virtual_pointer_manager_v1", 1, 2, ManagerRequests, 0, nullptr};

struct Globals {
    wl_seat* Seat = nullptr;
    wl_proxy* Manager = nullptr;
};

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    auto* globals = static_cast<Globals*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && globals->Seat == nullptr)
        globals->Seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, ManagerInterface.name) == 0)
        globals->Manager = static_cast<wl_proxy*>(wl_registry_bind(registry, name, &ManagerInterface, 1));
}

void OnGlobalRemove(void*, wl_registry*, uint32_t) {
}

const wl_registry_listener RegistryListener = {OnGlobal, OnGlobalRemove};

volatile sig_atomic_t g_stop = 0;

void Stop(int) {
    g_stop = 1;
}

} // namespace

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fputs("glimra-virtual-pointer: cannot connect to the Wayland display\n", stderr);
        return 1;
    }
    Globals globals;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &RegistryListener, &globals);
    wl_display_roundtrip(display);
    if (globals.Manager == nullptr) {
        std::fputs("glimra-virtual-pointer: the compositor offers no virtual pointers\n", stderr);
        return 1;
    }
    wl_proxy* pointer =
        wl_proxy_marshal_constructor(globals.Manager, 0, &VirtualPointerInterface, globals.Seat, nullptr);
    if (pointer == nullptr || wl_display_roundtrip(display) < 0) {
        std::fputs("glimra-virtual-pointer: the compositor refused the pointer\n", stderr);
        return 1;
    }
    std::signal(SIGTERM, Stop);
    std::signal(SIGINT, Stop);
    // Say so once the seat has the pointer, so that a test can wait for that line.
    std::puts("ready");
    std::fflush(stdout);
    while (g_stop == 0 && wl_display_dispatch(display) >= 0) {
    }
    wl_display_disconnect(display);
    return 0;
}
