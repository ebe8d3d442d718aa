#include "platform/idle/IdleWatcher.h"

#include <glib-unix.h>
#include <glib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

namespace {

// A saver that ignores SIGTERM for this long is killed: the watcher must end when asked.
constexpr guint SaverGraceMs = 5000;

// The file behind /proc/self/exe, so that the saver's process bears the program's name rather than
// "exe"; the link itself when the file has been replaced or removed since (an upgrade), for it still
// reaches the program that runs.
std::string ProgramPath(const std::string& link) {
    char target[4096];
    const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
    if (length <= 0)
        return link;
    const std::string path(target, static_cast<size_t>(length));
    return path.ends_with(" (deleted)") || access(path.c_str(), X_OK) != 0 ? link : path;
}

} // namespace

IdleWatcher::IdleWatcher(IdleSource& source, std::chrono::milliseconds threshold,
                         std::vector<std::string> saverCommand)
    : m_source(source), m_threshold(threshold), m_saverCommand(std::move(saverCommand)) {
}

int IdleWatcher::Run() {
    m_loop = g_main_loop_new(nullptr, FALSE);
    const auto onSignal = [](gpointer self) -> gboolean {
        static_cast<IdleWatcher*>(self)->Stop();
        return G_SOURCE_CONTINUE;
    };
    const guint term = g_unix_signal_add(SIGTERM, onSignal, this);
    const guint interrupt = g_unix_signal_add(SIGINT, onSignal, this);
    m_source.Start(m_threshold, [this](bool idle) {
        if (!m_source.Failure().empty()) {
            std::fprintf(stderr, "glimracode: %s: %s\n", m_source.Name(), m_source.Failure().c_str());
            m_code = 1;
            Stop();
        } else if (idle && m_saver == 0 && !m_stopping) {
            StartSaver();
        } else if (!idle && m_saver != 0 && m_source.EndsSaverOnActivity()) {
            kill(m_saver, SIGTERM);
        }
    });
    // A source that failed while starting has already asked to stop, and a quit before the run is lost.
    if (!m_stopping)
        g_main_loop_run(m_loop);
    g_source_remove(term);
    g_source_remove(interrupt);
    g_main_loop_unref(m_loop);
    m_loop = nullptr;
    return m_code;
}

void IdleWatcher::StartSaver() {
    std::vector<std::string> command = m_saverCommand;
    command[0] = ProgramPath(command[0]);
    std::vector<char*> argv;
    for (std::string& word : command)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    GError* error = nullptr;
    GPid pid = 0;
    // The saver must not outlive a watcher that was killed outright.
    const auto bindToParent = [](gpointer) { prctl(PR_SET_PDEATHSIG, SIGTERM); };
    if (!g_spawn_async(nullptr, argv.data(), nullptr,
                       static_cast<GSpawnFlags>(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_FILE_AND_ARGV_ZERO),
                       bindToParent, nullptr, &pid, &error)) {
        std::fprintf(stderr, "glimracode: cannot start the saver: %s\n", error->message);
        g_error_free(error);
        m_source.Rearm();
        return;
    }
    m_saver = pid;
    g_child_watch_add(
        pid,
        [](GPid child, gint status, gpointer self) {
            static_cast<IdleWatcher*>(self)->SaverEnded(child, status);
        },
        this);
}

void IdleWatcher::SaverEnded(pid_t pid, int) {
    g_spawn_close_pid(pid);
    m_saver = 0;
    if (m_stopping) {
        g_main_loop_quit(m_loop);
        return;
    }
    m_source.Rearm();
}

void IdleWatcher::Stop() {
    if (m_saver == 0) {
        m_stopping = true;
        g_main_loop_quit(m_loop);
        return;
    }
    if (m_stopping)
        return;
    m_stopping = true;
    kill(m_saver, SIGTERM);
    g_timeout_add(
        SaverGraceMs,
        [](gpointer self) -> gboolean {
            auto* watcher = static_cast<IdleWatcher*>(self);
            if (watcher->m_saver != 0)
                kill(watcher->m_saver, SIGKILL);
            return G_SOURCE_REMOVE;
        },
        this);
}
