#include "platform/gtk/SaverPreviewProcess.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "platform/linux/GlimraLockFile.h"

namespace {

// The descriptor number the child finds the lock at.
constexpr int LentDescriptor = 3;

} // namespace

SaverPreviewProcess::SaverPreviewProcess(std::string program, int lockDescriptor)
    : m_program(std::move(program)), m_lockDescriptor(lockDescriptor) {
}

SaverPreviewProcess::~SaverPreviewProcess() {
    if (m_child == nullptr)
        return;
    g_cancellable_cancel(m_waiting);
    End();
    // GIO reaps the child on a thread of its own; the identifier goes once it has.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (g_subprocess_get_identifier(m_child) != nullptr && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (g_subprocess_get_identifier(m_child) != nullptr)
        g_subprocess_force_exit(m_child);
    g_object_unref(m_child);
    g_object_unref(m_waiting);
}

bool SaverPreviewProcess::Start(const std::string& displayFlag, const std::vector<std::string>& options,
                                std::function<void()> ended, std::string& problem) {
    if (m_child != nullptr)
        return true;
    std::vector<const char*> argv{m_program.c_str()};
    if (!displayFlag.empty())
        argv.push_back(displayFlag.c_str());
    argv.push_back("/s");
    for (const std::string& option : options)
        argv.push_back(option.c_str());
    argv.push_back(nullptr);

    GSubprocessLauncher* launcher = g_subprocess_launcher_new(G_SUBPROCESS_FLAGS_NONE);
    g_subprocess_launcher_unsetenv(launcher, GlimraLockFile::LentVariable);
    if (m_lockDescriptor >= 0) {
        const int lent = fcntl(m_lockDescriptor, F_DUPFD_CLOEXEC, LentDescriptor + 1);
        if (lent >= 0) {
            g_subprocess_launcher_take_fd(launcher, lent, LentDescriptor);
            g_subprocess_launcher_setenv(launcher, GlimraLockFile::LentVariable,
                                         std::to_string(LentDescriptor).c_str(), TRUE);
        }
    }
    GError* error = nullptr;
    m_child = g_subprocess_launcher_spawnv(launcher, argv.data(), &error);
    g_object_unref(launcher);
    if (m_child == nullptr) {
        problem = error != nullptr ? error->message : "cannot start " + m_program;
        g_clear_error(&error);
        return false;
    }
    m_ended = std::move(ended);
    m_waiting = g_cancellable_new();
    g_subprocess_wait_async(m_child, m_waiting, OnEnded, this);
    return true;
}

void SaverPreviewProcess::End() {
    if (m_child != nullptr)
        g_subprocess_send_signal(m_child, SIGTERM);
}

void SaverPreviewProcess::OnEnded(GObject* source, GAsyncResult* result, gpointer data) {
    GError* error = nullptr;
    g_subprocess_wait_finish(G_SUBPROCESS(source), result, &error);
    // Cancelled only by the destructor: the object is gone.
    const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
    g_clear_error(&error);
    if (cancelled)
        return;
    auto* process = static_cast<SaverPreviewProcess*>(data);
    g_clear_object(&process->m_child);
    g_clear_object(&process->m_waiting);
    if (process->m_ended)
        process->m_ended();
}
