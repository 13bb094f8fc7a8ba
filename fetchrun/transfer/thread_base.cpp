#include "fetchrun/transfer/thread_base.h"

#include <process.h>

namespace fetchrun {

CThreadBase::~CThreadBase() { Stop(); }

unsigned __stdcall CThreadBase::ThreadEntry(void* object) {
    if (object) static_cast<CThreadBase*>(object)->Run();
    return 0;
}

bool CThreadBase::Start() {
    if (thread_) return true;
    unsigned id = 0;
    // The C runtime's thread start, so the runtime's per-thread state is set up.
    const uintptr_t handle = _beginthreadex(nullptr, 0, &CThreadBase::ThreadEntry, this, 0, &id);
    if (handle == 0) return false;
    thread_.reset(reinterpret_cast<HANDLE>(handle));
    threadId_ = id;
    return true;
}

void CThreadBase::Stop() { StopWithin(INFINITE); }

bool CThreadBase::StopWithin(DWORD timeoutMs) {
    if (thread_) {
        stop_.store(1, std::memory_order_release);
        if (WaitForSingleObject(thread_.get(), timeoutMs) != WAIT_OBJECT_0) return false;
        thread_.reset();
        threadId_ = 0;
    }
    stop_.store(0, std::memory_order_release);
    return true;
}

void CThreadBase::Run() {}

HANDLE CThreadBase::GetHandle() const { return thread_.get(); }

DWORD CThreadBase::GetThreadId() const { return threadId_; }

bool CThreadBase::IsRunning() const {
    return thread_ && WaitForSingleObject(thread_.get(), 0) == WAIT_TIMEOUT;
}

}  // namespace fetchrun
