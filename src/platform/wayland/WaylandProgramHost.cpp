#include "platform/wayland/WaylandProgramHost.h"

#include <cstdio>
#include <cstdlib>

#include "platform/wayland/WaylandSaver.h"

void WaylandProgramHost::RunSaver() {
    WaylandSaver saver(m_signals);
    if (saver.Run())
        return;
    const char* name = std::getenv("WAYLAND_DISPLAY");
    std::fprintf(stderr, "glimracode: cannot connect to the Wayland display '%s'\n",
                 name != nullptr && *name != '\0' ? name : "wayland-0");
}
