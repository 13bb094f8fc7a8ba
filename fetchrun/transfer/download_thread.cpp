#include "fetchrun/transfer/download_thread.h"

#include <utility>
#include <vector>

#include "common/unique_handle.h"
#include "fetchrun/transfer/body_reader.h"
#include "fetchrun/transfer/program_checks.h"
#include "fetchrun/transfer/program_file.h"

namespace fetchrun {

// Where the body's blocks go.
class BodySink {
public:
    // False, with the last error, when the block could not be kept.
    virtual bool Write(const BYTE* data, DWORD size) = 0;

protected:
    ~BodySink() = default;
};

namespace {

// How long the worker waits for the network before it looks at its stop flag and
// the clock again.
constexpr DWORD kWatchMs = 100;

std::wstring TextOrEmpty(const wchar_t* text) { return text ? std::wstring(text) : std::wstring(); }

class FileSink : public BodySink {
public:
    explicit FileSink(HANDLE file) : file_(file) {}
    bool Write(const BYTE* data, DWORD size) override {
        DWORD written = 0;
        if (!WriteFile(file_, data, size, &written, nullptr)) return false;
        if (written == size) return true;
        SetLastError(ERROR_WRITE_FAULT);
        return false;
    }

private:
    HANDLE file_;
};

class ProgramSink : public BodySink {
public:
    explicit ProgramSink(ProgramFile& file) : file_(file) {}
    bool Write(const BYTE* data, DWORD size) override { return file_.Write(data, size); }

private:
    ProgramFile& file_;
};

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

bool CThreadDL::FailLimit(TransferLimit limit, const TransferWatch& watch) {
    const TransferLimits& limits = watch.Limits();
    switch (limit) {
        case TransferLimit::TooLarge:
            Fail(TransferFailure::TooLarge);
            result_.limit = limits.maxBytes;
            break;
        case TransferLimit::Deadline:
            Fail(TransferFailure::Deadline, limits.totalMs / 1000);
            result_.received = watch.Received();
            break;
        case TransferLimit::NoResponse: Fail(TransferFailure::NoResponse, limits.responseMs / 1000); break;
        case TransferLimit::Stalled:
            Fail(TransferFailure::Stalled, limits.stallMs / 1000);
            result_.received = watch.Received();
            break;
        case TransferLimit::TooSlow:
            Fail(TransferFailure::TooSlow, limits.windowMs / 1000);
            result_.received = watch.WindowBytes();
            break;
        case TransferLimit::None: break;
    }
    return false;
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
    if (program) {
        RunProgram();
    } else {
        RunSettings();
    }
}

void CThreadDL::RunSettings() {
    cw::unique_file file(
        CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        Fail(TransferFailure::CreateTarget, GetLastError());
        return;
    }
    FileSink sink(file.get());
    Download(sink, kSettingsLimits);
}

// The bytes written are the bytes hashed: nobody else can write the file from its
// creation on. Until its close every failure deletes it through the writing handle
// (ProgramFile's destructor).
void CThreadDL::RunProgram() {
    ProgramFile file;
    if (!file.Create(path_)) {
        Fail(TransferFailure::CreateTarget, GetLastError());
        return;
    }
    ProgramSink sink(file);
    if (!Download(sink, kProgramLimits)) return;
    std::vector<BYTE> digest;
    file.Digest(digest);
    result_ = CheckProgramHash(digest, expectedHash_);
    if (!result_.ok()) return;
    if (StopRequested()) {
        Fail(TransferFailure::Interrupted);
        return;
    }
    const std::wstring named = path_ + kProgramSuffix;
    if (!file.Rename(named)) {
        Fail(TransferFailure::Rename, GetLastError());
        return;
    }
    path_ = named;
    file.Close();

    result_ = HoldProgram(path_, file.Identity(), program_);
    if (!result_.ok()) return;  // what lies under the name is not ours to judge; the dialog deletes it
    if (StopRequested()) Fail(TransferFailure::Interrupted);
    if (result_.ok() && verifySignature_) result_ = CheckProgramSignature(program_);
    if (result_.ok()) return;
    program_.Release();
    DeleteFileW(path_.c_str());
}

bool CThreadDL::Download(BodySink& sink, const TransferLimits& limits) {
    BodyReader body;
    TransferWatch watch(limits, GetTickCount64());
    if (!body.Start(url_)) return Fail(TransferFailure::OpenSession, GetLastError());
    for (;;) {
        BodyReader::Block block;
        const BodyReader::Event event = body.Next(kWatchMs, block);
        const ULONGLONG now = GetTickCount64();
        if (event == BodyReader::Event::Failed) {
            result_ = body.Failure();
            return false;
        }
        if (event == BodyReader::Event::Response) {
            std::uint64_t length = 0;
            const bool announced = body.Announced(length);
            watch.Responded(now, announced, length);
        }
        if (event == BodyReader::Event::Block) watch.Arrived(now, block.size);
        if (StopRequested()) return Fail(TransferFailure::Interrupted);
        const TransferLimit limit = watch.Check(now);
        if (limit != TransferLimit::None) return FailLimit(limit, watch);
        if (event == BodyReader::Event::Block) {
            const bool written = sink.Write(block.data, block.size);
            const DWORD error = GetLastError();
            body.Recycle(block);
            if (!written) return Fail(TransferFailure::WriteTarget, error ? error : ERROR_WRITE_FAULT);
        }
        if (event == BodyReader::Event::End) break;
    }

    // A connection that drops mid-body ends the body like a complete one does;
    // only the announced length tells the two apart.
    std::uint64_t announced = 0;
    if (body.Announced(announced) && watch.Received() < announced) {
        Fail(TransferFailure::Incomplete);
        result_.received = watch.Received();
        result_.announced = announced;
        return false;
    }
    return true;
}

TransferResult CThreadDL::GetResult() const { return result_; }

VerifiedFileLock CThreadDL::TakeProgram() { return std::move(program_); }

}  // namespace fetchrun
