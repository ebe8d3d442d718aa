#include "platform/x11/X11EventWait.h"

#include <poll.h>

void WaitForX(Display* display, const StopSignals& signals, int timeoutMs) {
    XFlush(display);
    if (XEventsQueued(display, QueuedAlready) > 0)
        return;
    pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {signals.Fd(), POLLIN, 0}};
    const nfds_t count = signals.Fd() >= 0 ? 2 : 1;
    poll(fds, count, timeoutMs);
}
