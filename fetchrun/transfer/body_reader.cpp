#include "fetchrun/transfer/body_reader.h"

#include <process.h>
#include <wininet.h>

#include <vector>

#include "fetchrun/transfer/body_length.h"
#include "fetchrun/transfer/read_pacer.h"

namespace fetchrun {
namespace {

constexpr wchar_t kAgent[] = L"Agent";
// Always from the server, and nothing of it left in the WinINet cache: neither the
// settings nor the program stays behind in a folder of the user.
constexpr DWORD kOpenUrlFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
constexpr DWORD kConnectTimeoutMs = 30000;
// Above the transfer's own limits (transfer_limits.h), so that those decide; these
// only end what nothing else would.
constexpr DWORD kSocketTimeoutMs = 90000;
// Blocks on their way from the network to the file: memory stays flat in the size
// of the body.
constexpr std::uint32_t kSlots = 8;
constexpr DWORD kSlotSize = 65536;
static_assert(ReadPacer::kBlock <= kSlotSize, "a read fits its slot");

class SrwGuard {
public:
    explicit SrwGuard(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    SrwGuard(const SrwGuard&) = delete;
    SrwGuard& operator=(const SrwGuard&) = delete;
    ~SrwGuard() { ReleaseSRWLockExclusive(&lock_); }

private:
    SRWLOCK& lock_;
};

// The server's last response text (WinINet keeps it per thread) joins a failure.
void AddResponseText(TransferResult& result) {
    DWORD error = 0;
    DWORD length = 0;
    InternetGetLastResponseInfoW(&error, nullptr, &length);
    if (length == 0) return;
    std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1, L'\0');
    DWORD size = length + 1;
    if (!InternetGetLastResponseInfoW(&error, text.data(), &size)) return;
    text.back() = L'\0';
    result.responseError = static_cast<std::int32_t>(error);
    result.responseText = text.data();
}

TransferResult CallFailed(TransferFailure failure, DWORD error) {
    TransferResult result = TransferFailed(failure, error);
    AddResponseText(result);
    return result;
}

bool AnnouncedLength(HINTERNET request, std::uint64_t& length) {
    wchar_t text[32] = {};
    DWORD size = sizeof(text) - sizeof(wchar_t);
    if (!HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return false;
    return ParseContentLength(text, &length);
}

}  // namespace

// What the reading thread and the reader object share; the last of the two to let
// go deletes it. Everything below `lock` is guarded by it. The WinINet handles are
// closed exactly once, under the lock, by whoever clears them: the reading thread
// when it ends, or GiveUp while the thread is inside a call.
struct BodyPipe {
    explicit BodyPipe(const std::wstring& address) : url(address), memory(kSlots * kSlotSize) {
        for (std::uint32_t i = 0; i < kSlots; ++i) freeSlots[i] = i;
    }
    void Release() {
        if (InterlockedDecrement(&refs) == 0) delete this;
    }
    BYTE* Slot(std::uint32_t slot) { return memory.data() + static_cast<std::size_t>(slot) * kSlotSize; }
    void CloseHandles() {
        if (request) InternetCloseHandle(request);
        if (session) InternetCloseHandle(session);
        request = nullptr;
        session = nullptr;
    }
    void Wake() { WakeAllConditionVariable(&changed); }

    LONG refs = 2;
    const std::wstring url;
    std::vector<BYTE> memory;

    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
    HINTERNET session = nullptr;
    HINTERNET request = nullptr;
    bool calling = false;  // the thread is in (or about to enter) a WinINet call
    bool givenUp = false;
    bool responded = false;
    bool responseTaken = false;
    bool announced = false;
    std::uint64_t length = 0;
    bool ended = false;
    bool failed = false;
    TransferResult failure;
    std::uint32_t freeSlots[kSlots] = {};
    std::uint32_t freeCount = kSlots;
    std::uint32_t queue[kSlots] = {};  // full slots, oldest first from queueHead
    DWORD queueSizes[kSlots] = {};
    std::uint32_t queueHead = 0;
    std::uint32_t queueCount = 0;
};

namespace {

// Under the lock: ends the thread's part with a failure.
void FailLocked(BodyPipe& pipe, const TransferResult& failure) {
    pipe.failed = true;
    pipe.failure = failure;
    pipe.CloseHandles();
    pipe.Wake();
}

// Opens the session and the request; false when the thread's part is over.
bool OpenRequest(BodyPipe& pipe) {
    HINTERNET session = InternetOpenW(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!session) {
        const TransferResult failure = TransferFailed(TransferFailure::OpenSession, GetLastError());
        SrwGuard guard(pipe.lock);
        FailLocked(pipe, failure);
        return false;
    }
    DWORD timeout = kConnectTimeoutMs;
    InternetSetOptionW(session, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof(timeout));
    timeout = kSocketTimeoutMs;
    InternetSetOptionW(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof(timeout));
    InternetSetOptionW(session, INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof(timeout));
    {
        SrwGuard guard(pipe.lock);
        if (pipe.givenUp) {
            InternetCloseHandle(session);
            return false;
        }
        pipe.session = session;
        pipe.calling = true;
    }
    HINTERNET request = InternetOpenUrlW(session, pipe.url.c_str(), nullptr, 0, kOpenUrlFlags, 0);
    const TransferResult failure = request ? TransferResult() : CallFailed(TransferFailure::OpenUrl, GetLastError());
    std::uint64_t length = 0;
    const bool announced = request && AnnouncedLength(request, length);

    SrwGuard guard(pipe.lock);
    pipe.calling = false;
    if (pipe.givenUp) {
        // The session went with GiveUp; the request it did not know of.
        if (request) InternetCloseHandle(request);
        return false;
    }
    if (!request) {
        FailLocked(pipe, failure);
        return false;
    }
    pipe.request = request;
    pipe.responded = true;
    pipe.announced = announced;
    pipe.length = length;
    pipe.Wake();
    return true;
}

// Reads the body into free slots until it ends, fails or is given up.
void ReadInto(BodyPipe& pipe) {
    ReadPacer pacer;
    for (;;) {
        std::uint32_t slot = 0;
        HINTERNET request = nullptr;
        {
            SrwGuard guard(pipe.lock);
            while (pipe.freeCount == 0 && !pipe.givenUp) {
                SleepConditionVariableSRW(&pipe.changed, &pipe.lock, INFINITE, 0);
            }
            if (pipe.givenUp) {
                pipe.CloseHandles();
                return;
            }
            slot = pipe.freeSlots[--pipe.freeCount];
            request = pipe.request;
            pipe.calling = true;
        }

        const ULONGLONG start = GetTickCount64();
        DWORD size = ReadPacer::kBlock;
        TransferResult failure;
        if (!pacer.Streaming()) {
            DWORD available = 0;
            if (InternetQueryDataAvailable(request, &available, 0, 0)) {
                size = ReadPacer::SizeFor(available);
            } else {
                failure = CallFailed(TransferFailure::ReadBody, GetLastError());
            }
        }
        DWORD read = 0;
        if (failure.ok() && !InternetReadFile(request, pipe.Slot(slot), size, &read)) {
            failure = CallFailed(TransferFailure::ReadBody, GetLastError());
        }
        pacer.Read(start, GetTickCount64(), read);

        SrwGuard guard(pipe.lock);
        pipe.calling = false;
        if (pipe.givenUp) return;
        if (!failure.ok()) {
            FailLocked(pipe, failure);
            return;
        }
        if (read == 0) {
            pipe.freeSlots[pipe.freeCount++] = slot;
            pipe.ended = true;
            pipe.CloseHandles();
            pipe.Wake();
            return;
        }
        const std::uint32_t tail = (pipe.queueHead + pipe.queueCount) % kSlots;
        pipe.queue[tail] = slot;
        pipe.queueSizes[tail] = read;
        ++pipe.queueCount;
        pipe.Wake();
    }
}

unsigned __stdcall ReadBody(void* argument) {
    BodyPipe* pipe = static_cast<BodyPipe*>(argument);
    if (OpenRequest(*pipe)) ReadInto(*pipe);
    pipe->Release();
    return 0;
}

}  // namespace

BodyReader::~BodyReader() {
    if (!pipe_) return;
    GiveUp();
    pipe_->Release();
}

bool BodyReader::Start(const std::wstring& url) {
    if (pipe_) return false;
    pipe_ = new BodyPipe(url);
    const uintptr_t thread = _beginthreadex(nullptr, 0, &ReadBody, pipe_, 0, nullptr);
    if (thread == 0) {
        const DWORD error = GetLastError();
        delete pipe_;  // no thread took its share
        pipe_ = nullptr;
        SetLastError(error ? error : ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    // Nobody waits for the thread: it ends by itself.
    CloseHandle(reinterpret_cast<HANDLE>(thread));
    return true;
}

BodyReader::Event BodyReader::Next(DWORD waitMs, Block& block) {
    if (!pipe_) return Event::Failed;
    BodyPipe& pipe = *pipe_;
    SrwGuard guard(pipe.lock);
    for (int look = 0; look < 2; ++look) {
        if (pipe.failed) return Event::Failed;
        if (pipe.responded && !pipe.responseTaken) {
            pipe.responseTaken = true;
            return Event::Response;
        }
        if (pipe.queueCount != 0) {
            block.slot = pipe.queue[pipe.queueHead];
            block.size = pipe.queueSizes[pipe.queueHead];
            block.data = pipe.Slot(block.slot);
            pipe.queueHead = (pipe.queueHead + 1) % kSlots;
            --pipe.queueCount;
            return Event::Block;
        }
        if (pipe.ended) return Event::End;
        if (look == 0) SleepConditionVariableSRW(&pipe.changed, &pipe.lock, waitMs, 0);
    }
    return Event::Waiting;
}

void BodyReader::Recycle(const Block& block) {
    if (!pipe_) return;
    SrwGuard guard(pipe_->lock);
    pipe_->freeSlots[pipe_->freeCount++] = block.slot;
    pipe_->Wake();
}

bool BodyReader::Announced(std::uint64_t& length) const {
    if (!pipe_) return false;
    SrwGuard guard(pipe_->lock);
    length = pipe_->length;
    return pipe_->announced;
}

TransferResult BodyReader::Failure() const {
    if (!pipe_) return TransferFailed(TransferFailure::OpenSession, ERROR_INVALID_HANDLE);
    SrwGuard guard(pipe_->lock);
    return pipe_->failure;
}

void BodyReader::GiveUp() {
    if (!pipe_) return;
    SrwGuard guard(pipe_->lock);
    if (pipe_->givenUp) return;
    pipe_->givenUp = true;
    // Closing the handles a call uses is how WinINet cancels it. A call about to
    // begin meets closed handles and fails at once; a thread between calls closes
    // them itself when it sees the flag.
    if (pipe_->calling) pipe_->CloseHandles();
    pipe_->Wake();
}

}  // namespace fetchrun
