// The outcome of a download worker as a value: which step failed, with the
// system's or the platform's code and the server's last words, and the one place
// that turns it into the log line. Pure: no Windows headers.
#pragma once
#include <cstdint>
#include <string>

namespace fetchrun {

enum class TransferFailure : std::uint8_t {
    None,
    UrlOrPath,     // no URL or no target path
    Interrupted,   // the stop flag was raised
    // Named apart from the Win32 calls: their names are macros once <windows.h> is in.
    CreateTarget,  // CreateFile; code: system error
    OpenSession,   // InternetOpen; code: system error
    OpenUrl,       // code: system error; the server's response when there was one
    ReadBody,      // InternetReadFile; code: system error; the server's response when there was one
    WriteTarget,   // WriteFile; code: system error
    Incomplete,    // fewer bytes than the server announced
    Hash,          // no published hash, or not the published hash
    Rename,        // a program could not get its ".exe" name, or not be held under it; code: system error
    Trust,         // code: WinVerifyTrust's result
    // The limits of transfer_limits.h; code: the limit in seconds.
    NoResponse,    // no response in time
    Stalled,       // no data in time; received: the body's bytes so far
    Deadline,      // not complete in time; received: the body's bytes so far
    TooSlow,       // received: what the window brought
    TooLarge,      // limit: the largest body allowed
};

struct TransferResult {
    TransferFailure failure = TransferFailure::None;
    std::uint32_t code = 0;
    std::uint64_t received = 0;   // Incomplete: bytes received
    std::uint64_t announced = 0;  //             and announced
    std::uint64_t limit = 0;
    std::int32_t responseError = 0;
    std::wstring responseText;  // the server's last response text; empty when none

    bool ok() const { return failure == TransferFailure::None; }
};

inline TransferResult TransferFailed(TransferFailure failure, std::uint32_t code = 0) {
    TransferResult result;
    result.failure = failure;
    result.code = code;
    return result;
}

// The log line of a result, e.g. "CThreadDL - error: InternetOpenUrl (0x00002EFD)"
// or "CThreadDL - error: WinVerifyTrust return 0x800B0004."; empty for success.
std::wstring FormatTransferResult(const TransferResult& result);

}  // namespace fetchrun
