#pragma once

#include <gio/gio.h>

#include <functional>
#include <string>
#include <vector>

// The saver full screen, as a child process, with the values being edited given as its options: the
// dialog's Preview button. The saver ends itself on input; the dialog goes on meanwhile.
//
// The dialog holds the instance lock, which refuses a second saver; the child is handed the very
// lock (GlimraLockFile::LentVariable), so that it runs as part of the dialog's copy while a saver
// started any other way is still refused.
class SaverPreviewProcess {
public:
    // program is the saver's file; lockDescriptor the instance lock this process holds, or -1.
    SaverPreviewProcess(std::string program, int lockDescriptor);
    // Ends a child that still runs, and waits a moment for it.
    ~SaverPreviewProcess();
    SaverPreviewProcess(const SaverPreviewProcess&) = delete;
    SaverPreviewProcess& operator=(const SaverPreviewProcess&) = delete;

    // Starts "program /s" with displayFlag (--x11, --wayland or empty) and options; ended runs on the
    // main loop once the child has ended. False, with the reason in problem, when it cannot start.
    bool Start(const std::string& displayFlag, const std::vector<std::string>& options,
               std::function<void()> ended, std::string& problem);
    [[nodiscard]] bool Running() const { return m_child != nullptr; }
    [[nodiscard]] const std::string& Program() const { return m_program; }
    // SIGTERM, which the saver takes as an end like any other.
    void End();

private:
    static void OnEnded(GObject* source, GAsyncResult* result, gpointer data);

    std::string m_program;
    int m_lockDescriptor;
    GSubprocess* m_child = nullptr;
    GCancellable* m_waiting = nullptr;
    std::function<void()> m_ended;
};
