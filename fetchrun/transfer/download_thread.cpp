#include "fetchrun/transfer/download_thread.h"

#include <wininet.h>

#include <cstdarg>
#include <vector>

#include "fetchrun/transfer/body_length.h"
#include "fetchrun/transfer/hash_text.h"
#include "fetchrun/transfer/hash_thread.h"
#include "common/unique_handle.h"
#include "common/wide_format.h"

namespace fetchrun {
namespace {

constexpr wchar_t kAgent[] = L"Agent";
constexpr DWORD kBufferSize = 65536;
constexpr DWORD kReadSize = kBufferSize - 1;
constexpr DWORD kHashPollMs = 300;

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

void CThreadDL::Fail(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    result_ = cw::FormatTextV(format, args);
    va_end(args);
}

void CThreadDL::AppendResponseText() {
    DWORD error = 0;
    DWORD length = 0;
    InternetGetLastResponseInfoW(&error, nullptr, &length);
    if (length == 0) return;
    std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1, L'\0');
    DWORD size = length + 1;
    if (!InternetGetLastResponseInfoW(&error, text.data(), &size)) return;
    text.back() = L'\0';
    result_ += cw::FormatText(kDlResponseSuffix, static_cast<int>(error), text.data());
}

void CThreadDL::Run() {
    result_.clear();
    if (url_.empty() || path_.empty()) return Fail(kDlErrorUrlOrPath);
    if (StopRequested()) return Fail(kDlInterrupted);

    {
        cw::unique_file file(CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return Fail(kDlErrorCreateFile, static_cast<unsigned>(GetLastError()));
        if (StopRequested()) return Fail(kDlInterrupted);

        cw::unique_inet internet(InternetOpenW(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
        if (!internet) return Fail(kDlErrorInternetOpen, static_cast<unsigned>(GetLastError()));
        if (StopRequested()) return Fail(kDlInterrupted);

        cw::unique_inet request(InternetOpenUrlW(internet.get(), url_.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0));
        if (!request) {
            Fail(kDlErrorOpenUrl, static_cast<unsigned>(GetLastError()));
            AppendResponseText();
            return;
        }
        if (StopRequested()) return Fail(kDlInterrupted);

        // The status code is not examined: whatever body comes is the download,
        // and the checks after it judge a program.
        std::vector<BYTE> buffer(kBufferSize);
        std::uint64_t received = 0;
        for (;;) {
            DWORD read = 0;
            if (!InternetReadFile(request.get(), buffer.data(), kReadSize, &read)) {
                Fail(kDlErrorReadFile, static_cast<unsigned>(GetLastError()));
                AppendResponseText();
                return;
            }
            if (read == 0) break;
            if (StopRequested()) return Fail(kDlInterrupted);
            DWORD written = 0;
            if (!WriteFile(file.get(), buffer.data(), read, &written, nullptr) || written != read) {
                const DWORD error = GetLastError();
                return Fail(kDlErrorWriteFile, static_cast<unsigned>(error ? error : ERROR_WRITE_FAULT));
            }
            received += read;
        }

        // A connection that drops mid-body ends the loop like a complete body
        // does; only the announced length tells the two apart.
        std::uint64_t announced = 0;
        if (AnnouncedLength(request.get(), &announced) && received < announced) {
            return Fail(kDlErrorIncomplete, received, announced);
        }
    }

    if (!expectedHash_.empty()) {
        CThreadHash hasher(path_.c_str());
        hasher.Start();
        while (hasher.IsRunning()) {
            if (StopRequested()) return Fail(kDlInterrupted);  // hasher's destructor waits for it
            WaitForSingleObject(hasher.GetHandle(), kHashPollMs);
        }
        if (!HashTextsMatch(expectedHash_, hasher.GetResult())) {
            Fail(kDlErrorHash);
            DeleteFileW(path_.c_str());
            return;
        }
    }

    if (verifySignature_) {
        const LONG trust = VerifyProgramSignature(path_.c_str());
        if (trust != 0) {
            Fail(kDlErrorTrust, static_cast<unsigned>(trust));
            DeleteFileW(path_.c_str());
        }
    }
}

std::wstring CThreadDL::GetResult() const { return result_; }

}  // namespace fetchrun
