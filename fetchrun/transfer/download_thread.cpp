#include "fetchrun/transfer/download_thread.h"

#include <wininet.h>

#include <utility>
#include <vector>

#include "common/unique_handle.h"
#include "fetchrun/transfer/body_length.h"
#include "fetchrun/transfer/program_checks.h"

namespace fetchrun {
namespace {

constexpr wchar_t kAgent[] = L"Agent";
constexpr DWORD kBufferSize = 65536;
constexpr DWORD kReadSize = kBufferSize - 1;
// Always from the server, and nothing of it left in the WinINet cache: neither the
// settings nor the program stays behind in a folder of the user.
constexpr DWORD kOpenUrlFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;

std::wstring TextOrEmpty(const wchar_t* text) { return text ? std::wstring(text) : std::wstring(); }

// The body length the server announced; false when it announced none (or no
// readable one).
bool AnnouncedLength(HINTERNET request, std::uint64_t* length) {
    wchar_t text[32] = {};
    DWORD size = sizeof(text) - sizeof(wchar_t);
    if (!HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return false;
    return ParseContentLength(text, length);
}

}  // namespace

CThreadDL::CThreadDL(const wchar_t* url, const wchar_t* path, const wchar_t* expectedHash, DWORD verifySignature)
    : url_(TextOrEmpty(url)),
      path_(TextOrEmpty(path)),
      expectedHash_(TextOrEmpty(expectedHash)),
      verifySignature_(verifySignature ? 1 : 0) {}

// Run uses the members: the thread must be gone before they are.
CThreadDL::~CThreadDL() { Stop(); }

bool CThreadDL::Fail(TransferFailure failure, DWORD code) {
    result_ = TransferFailed(failure, code);
    return false;
}

void CThreadDL::AddResponseText() {
    DWORD error = 0;
    DWORD length = 0;
    InternetGetLastResponseInfoW(&error, nullptr, &length);
    if (length == 0) return;
    std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1, L'\0');
    DWORD size = length + 1;
    if (!InternetGetLastResponseInfoW(&error, text.data(), &size)) return;
    text.back() = L'\0';
    result_.responseError = static_cast<std::int32_t>(error);
    result_.responseText = text.data();
}

void CThreadDL::Run() {
    result_ = {};
    program_.Release();
    if (url_.empty() || path_.empty()) {
        Fail(TransferFailure::UrlOrPath);
        return;
    }
    const bool program = verifySignature_ || !expectedHash_.empty();
    // A program is trusted only with the hash its publisher gave: without one
    // nothing is fetched.
    if (program && expectedHash_.empty()) {
        Fail(TransferFailure::Hash);
        return;
    }
    if (StopRequested()) {
        Fail(TransferFailure::Interrupted);
        return;
    }
    if (!Download() || !program) return;
    if (StopRequested()) {
        Fail(TransferFailure::Interrupted);
        return;
    }
    if (!CheckProgram()) program_.Release();
}

bool CThreadDL::Download() {
    cw::unique_file file(
        CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return Fail(TransferFailure::CreateTarget, GetLastError());
    if (StopRequested()) return Fail(TransferFailure::Interrupted);

    cw::unique_inet internet(InternetOpenW(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!internet) return Fail(TransferFailure::OpenSession, GetLastError());
    if (StopRequested()) return Fail(TransferFailure::Interrupted);

    cw::unique_inet request(InternetOpenUrlW(internet.get(), url_.c_str(), nullptr, 0, kOpenUrlFlags, 0));
    if (!request) {
        Fail(TransferFailure::OpenUrl, GetLastError());
        AddResponseText();
        return false;
    }
    if (StopRequested()) return Fail(TransferFailure::Interrupted);

    // The status code is not examined: whatever body comes is the download, and
    // the checks after it judge a program.
    std::vector<BYTE> buffer(kBufferSize);
    std::uint64_t received = 0;
    for (;;) {
        DWORD read = 0;
        if (!InternetReadFile(request.get(), buffer.data(), kReadSize, &read)) {
            Fail(TransferFailure::ReadBody, GetLastError());
            AddResponseText();
            return false;
        }
        if (read == 0) break;
        if (StopRequested()) return Fail(TransferFailure::Interrupted);
        DWORD written = 0;
        if (!WriteFile(file.get(), buffer.data(), read, &written, nullptr) || written != read) {
            const DWORD error = GetLastError();
            return Fail(TransferFailure::WriteTarget, error ? error : ERROR_WRITE_FAULT);
        }
        received += read;
    }

    // A connection that drops mid-body ends the loop like a complete body does;
    // only the announced length tells the two apart.
    std::uint64_t announced = 0;
    if (AnnouncedLength(request.get(), &announced) && received < announced) {
        Fail(TransferFailure::Incomplete);
        result_.received = received;
        result_.announced = announced;
        return false;
    }
    return true;
}

// The writing handle is closed by now; from here on the program is read only
// through the hold, once for the hash and once for the signature.
bool CThreadDL::CheckProgram() {
    result_ = HoldProgram(path_, program_);
    if (!result_.ok()) return false;  // left for the dialog, which deletes it by name
    result_ = CheckProgramHash(program_, expectedHash_);
    if (result_.ok() && StopRequested()) return Fail(TransferFailure::Interrupted);
    if (result_.ok() && verifySignature_) result_ = CheckProgramSignature(program_);
    if (result_.ok()) return true;
    program_.Release();
    DeleteFileW(path_.c_str());
    return false;
}

TransferResult CThreadDL::GetResult() const { return result_; }

VerifiedFileLock CThreadDL::TakeProgram() { return std::move(program_); }

}  // namespace fetchrun
