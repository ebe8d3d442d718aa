#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/idle/IdleSource.h"

// The idle watcher's loop: it starts the saver program as a child once the source tells that the
// session is idle, lets the source count afresh when the saver ends, and ends on SIGTERM or SIGINT,
// ending the saver it started first. It runs the default GLib main context and sleeps in it: it wakes
// only when the source or the child or a signal has something to say.
class IdleWatcher {
public:
    IdleWatcher(IdleSource& source, std::chrono::milliseconds threshold,
                std::vector<std::string> saverCommand);

    // Runs until a stop signal (answers 0) or until the source fails (answers 1, with the reason
    // on stderr).
    int Run();

private:
    void StartSaver();
    void SaverEnded(pid_t pid, int status);
    void Stop();

    IdleSource& m_source;
    std::chrono::milliseconds m_threshold;
    std::vector<std::string> m_saverCommand;
    pid_t m_saver = 0;
    bool m_stopping = false;
    int m_code = 0;
    struct _GMainLoop* m_loop = nullptr;
};
