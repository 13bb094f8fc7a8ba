// Fetchrun's workers without a network: the thread base's start, stop and poll,
// SHA-256 of files through CryptoAPI, and the downloader's failures that need no
// server. Downloads from a server are covered
// by tests/e2e/test_transfer_*.py.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>

#include "fetchrun/transfer/download_thread.h"
#include "tests/support/test_files.h"
#include "fetchrun/transfer/hash_thread.h"

namespace {

using namespace fetchrun;
using test_support::ScratchDir;

// Runs until asked to stop, counting how often it looked.
class WaitingWorker : public CThreadBase {
public:
    ~WaitingWorker() override { Stop(); }
    void Run() override {
        started = true;
        while (!StopRequested()) {
            ++looks;
            Sleep(5);
        }
        sawStop = true;
        if (finished) {
            Sleep(200);  // still busy after noticing the stop
            *finished = true;
        }
    }
    bool StopFlag() const { return StopRequested(); }
    std::atomic<bool> started{false};
    std::atomic<bool> sawStop{false};
    std::atomic<int> looks{0};
    std::atomic<bool>* finished = nullptr;
};

bool WaitUntil(const std::atomic<bool>& flag, DWORD timeoutMs) {
    for (DWORD waited = 0; !flag && waited < timeoutMs; waited += 10) Sleep(10);
    return flag;
}

TEST(FetchrunThreadBase, StartPollAndStop) {
    WaitingWorker worker;
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_EQ(nullptr, worker.GetHandle());
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(WaitUntil(worker.started, 5000));
    EXPECT_TRUE(worker.IsRunning());
    EXPECT_NE(nullptr, worker.GetHandle());
    const DWORD id = worker.GetThreadId();
    EXPECT_NE(0u, id);
    // A second Start while a thread exists starts nothing.
    EXPECT_TRUE(worker.Start());
    EXPECT_EQ(id, worker.GetThreadId());

    worker.Stop();
    EXPECT_TRUE(worker.sawStop);
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_EQ(nullptr, worker.GetHandle());
    EXPECT_EQ(0u, worker.GetThreadId());
    EXPECT_FALSE(worker.StopFlag());  // lowered again for a later start
    worker.Stop();                     // nothing to stop: harmless
}

TEST(FetchrunThreadBase, DeletingARunningWorkerWaitsForIt) {
    std::atomic<bool> finished{false};
    auto* worker = new WaitingWorker;
    worker->finished = &finished;
    ASSERT_TRUE(worker->Start());
    ASSERT_TRUE(WaitUntil(worker->started, 5000));
    delete worker;
    EXPECT_TRUE(finished);
}

TEST(FetchrunThreadBase, StopWithinATimeLimitLeavesASlowThreadRunning) {
    std::atomic<bool> finished{false};
    WaitingWorker worker;
    worker.finished = &finished;
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(WaitUntil(worker.started, 5000));
    EXPECT_FALSE(worker.StopWithin(20));  // it takes 200 ms after seeing the flag
    EXPECT_TRUE(worker.sawStop);
    EXPECT_TRUE(worker.IsRunning());
    EXPECT_NE(nullptr, worker.GetHandle());
    EXPECT_TRUE(worker.StopWithin(5000));
    EXPECT_TRUE(finished);
    EXPECT_EQ(nullptr, worker.GetHandle());
    EXPECT_FALSE(worker.StopFlag());
}

TEST(FetchrunThreadBase, BaseRunEndsAtOnce) {
    CThreadBase worker;
    ASSERT_TRUE(worker.Start());
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(worker.GetHandle(), 5000));
    EXPECT_FALSE(worker.IsRunning());
    DWORD code = 99;
    GetExitCodeThread(worker.GetHandle(), &code);
    EXPECT_EQ(0u, code);
}

std::wstring HashOf(const std::wstring& path) {
    CThreadHash hasher(path.c_str());
    if (!hasher.Start()) return L"<not started>";
    while (hasher.IsRunning()) Sleep(10);
    return hasher.GetResult();
}

TEST(FetchrunHash, KnownSha256Vectors) {
    ScratchDir dir;
    ASSERT_TRUE(dir.ok());
    const std::wstring empty = dir.File(L"empty.bin");
    const std::wstring abc = dir.File(L"abc.bin");
    const std::wstring million = dir.File(L"million.bin");  // spans many 64 KiB blocks, ends mid-block
    ASSERT_TRUE(test_support::WriteBytes(empty, nullptr, 0));
    ASSERT_TRUE(test_support::WriteBytes(abc, std::string("abc")));
    ASSERT_TRUE(test_support::WriteBytes(million, std::string(1000000, 'a')));

    // The hash of no data, not an empty text.
    EXPECT_EQ(L"E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855", HashOf(empty));
    EXPECT_EQ(L"BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD", HashOf(abc));
    EXPECT_EQ(L"CDC76E5C9914FB9281A1C7E284D73E67F1809A48A497200E046D39CCC7112CD0", HashOf(million));
}

TEST(FetchrunHash, MissingFileGivesNoHash) {
    ScratchDir dir;
    ASSERT_TRUE(dir.ok());
    EXPECT_EQ(L"", HashOf(dir.File(L"absent.bin")));
    EXPECT_EQ(L"", HashOf(L""));
    // A path cut at 260 characters names another (missing) file.
    EXPECT_EQ(L"", HashOf(dir.File(std::wstring(400, L'x'))));
    CThreadHash notStarted(L"whatever");
    EXPECT_EQ(L"", notStarted.GetResult());
}

std::wstring Download(const wchar_t* url, const std::wstring& path, const wchar_t* hash = nullptr,
                      DWORD verify = 0) {
    CThreadDL download(url, path.c_str(), hash, verify);
    if (!download.Start()) return L"<not started>";
    while (download.IsRunning()) Sleep(20);
    return FormatTransferResult(download.GetResult());
}

TEST(FetchrunDownload, MissingUrlOrPathFailsBeforeAnyFileIsMade) {
    ScratchDir dir;
    ASSERT_TRUE(dir.ok());
    const std::wstring path = dir.File(L"tpf1.tmp");
    EXPECT_EQ(L"CThreadDL - error: URL or Path invalid", Download(L"", path));
    EXPECT_EQ(L"CThreadDL - error: URL or Path invalid", Download(nullptr, path));
    EXPECT_FALSE(test_support::FileExists(path));
    EXPECT_EQ(L"CThreadDL - error: URL or Path invalid", Download(L"http://127.0.0.1/x", L""));
}

TEST(FetchrunDownload, UncreatableFileIsReportedWithTheSystemError) {
    ScratchDir dir;
    ASSERT_TRUE(dir.ok());
    EXPECT_EQ(L"CThreadDL - error: CreateFile (0x00000003)",
              Download(L"http://127.0.0.1/x", dir.File(L"missing\\tpf1.tmp")));
}

TEST(FetchrunDownload, UnusableUrlFailsAtOpen) {
    ScratchDir dir;
    ASSERT_TRUE(dir.ok());
    const std::wstring path = dir.File(L"tpf2.tmp");
    const std::wstring result = Download(L"nonsense", path);
    EXPECT_EQ(0u, result.rfind(L"CThreadDL - error: InternetOpenUrl (0x", 0)) << test_support::Narrow(result);
    // Removing it is the dialog's job.
    EXPECT_TRUE(test_support::FileExists(path));
    // A program's file goes with its failure.
    const std::wstring program = dir.File(L"tpf3.tmp");
    ASSERT_TRUE(test_support::WriteBytes(program, std::string()));
    const std::wstring failed = Download(L"nonsense", program, L"ab", 1);
    EXPECT_EQ(0u, failed.rfind(L"CThreadDL - error: InternetOpenUrl (0x", 0)) << test_support::Narrow(failed);
    EXPECT_FALSE(test_support::FileExists(program));
}

}  // namespace
