#pragma once

// SIGTERM and SIGINT turned into something poll() can wait for, so that a screen-saver daemon's
// request to stop ends the one event loop cleanly instead of killing the process mid-tick.
//
// One instance at a time: the handlers write to a pipe that this object owns, and the previous
// dispositions come back when it is destroyed.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The end of the pipe to poll for reading; -1 when no pipe could be made (signals then keep
    // their previous effect).
    int Fd() const { return m_readFd; }
    // True once a stop signal has come; reading drains the pipe.
    bool Raised();

private:
    int m_readFd = -1;
    int m_writeFd = -1;
    bool m_raised = false;
};
