// The body of one HTTP GET (WinINet), read from the network on a thread of its own
// and handed over in blocks. The thread that takes the blocks never waits on the
// network, so it can end a transfer at any moment (a time limit, a stop), also
// where WinINet cannot interrupt a call: under Wine 8 a blocked read or request
// returns only when data comes, whatever handle another thread closes. Given up,
// the reading thread is left to end by itself: it holds its own share of what it
// uses, and it frees that when its call returns, or with the process.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "fetchrun/transfer/transfer_result.h"

namespace fetchrun {

struct BodyPipe;

class BodyReader {
public:
    enum class Event {
        Waiting,   // nothing new within the wait
        Response,  // the response's headers came (once, before any block)
        Block,     // a piece of the body
        End,       // the body has ended
        Failed,    // the session, the request or a read failed: see Failure
    };
    struct Block {
        const BYTE* data = nullptr;
        DWORD size = 0;
        std::uint32_t slot = 0;
    };

    BodyReader() = default;
    BodyReader(const BodyReader&) = delete;
    BodyReader& operator=(const BodyReader&) = delete;
    // Gives up a transfer that has not ended.
    ~BodyReader();

    // Starts the GET of `url` (always from the server, nothing left in the WinINet
    // cache) on a new thread; false, with the last error, when it could not start.
    bool Start(const std::wstring& url);
    // Waits up to waitMs for what comes next. A Block stays valid until Recycle.
    Event Next(DWORD waitMs, Block& block);
    void Recycle(const Block& block);
    // After Response: the length the headers announced, if any.
    bool Announced(std::uint64_t& length) const;
    // After Failed: the step, its error and the server's last response text.
    TransferResult Failure() const;
    // Ends the transfer: the reading thread stops after its current call, and the
    // request is closed at once, which returns a blocked call where WinINet allows.
    void GiveUp();

private:
    BodyPipe* pipe_ = nullptr;
};

}  // namespace fetchrun
