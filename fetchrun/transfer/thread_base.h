// The worker thread base of Fetchrun. A worker object owns at most one thread,
// which runs the object's Run; the starting thread polls IsRunning and reads the
// outcome once the thread has ended. Failures travel as result text, never as a
// thread exit code.
#pragma once
#include <windows.h>

#include <atomic>

#include "common/unique_handle.h"

namespace fetchrun {

class CThreadBase {
public:
    CThreadBase() = default;
    CThreadBase(const CThreadBase&) = delete;
    CThreadBase& operator=(const CThreadBase&) = delete;

    // Stops (waits for) the thread. A derived class whose Run uses its own members
    // calls Stop in its own destructor, before those members go.
    virtual ~CThreadBase();

    // Starts the thread on Run; true when a thread exists afterwards (also when
    // one already existed).
    virtual bool Start();
    // Raises the stop flag, waits for the thread without a time limit and
    // forgets it; the flag is lowered again at the end.
    virtual void Stop();
    // Stop with a time limit: true when the thread has ended (and is forgotten).
    // False leaves it running with the flag raised; the object must then outlive it.
    bool StopWithin(DWORD timeoutMs);
    // The thread body. The base does nothing.
    virtual void Run();
    virtual HANDLE GetHandle() const;
    virtual DWORD GetThreadId() const;
    // True while the thread exists and has not ended.
    virtual bool IsRunning() const;

protected:
    bool StopRequested() const { return stop_.load(std::memory_order_acquire) != 0; }

private:
    static unsigned __stdcall ThreadEntry(void* object);

    cw::unique_kernel thread_;
    DWORD threadId_ = 0;
    std::atomic<LONG> stop_{0};
};

}  // namespace fetchrun
