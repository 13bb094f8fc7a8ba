// Drives Fetchrun's transfer classes from a command line and writes the outcome,
// one "name=value" line each, UTF-8, to a result file:
//
//   fetchprobe download <url> <path> <result> [--hash <hex>] [--verify] [--stop-after-ms <n>]
//                       [--hold-ms <n> --held-marker <file>]
//       CThreadDL as the dialog uses it (started, polled, result read, program
//       taken). With --stop-after-ms the worker is deleted that long after its
//       start. With --hold-ms a program handed over is kept held that long, and
//       <file> exists while it is (it goes a second before the hold does). Lines:
//       result (the log line), path (where the download is now), held (1 when the
//       worker handed over a hold under which the file could be read but neither
//       written nor deleted), elapsed_ms, stop_wait_ms (with --stop-after-ms),
//       peak_working_set, peak_pagefile.
//   fetchprobe attack <path> <held marker> <stop file> <result>
//       Another process of the user, trying again and again until <stop file>
//       exists: while <path> exists (the program being written), and while the
//       marker exists (the program held as <path>.exe), it opens the file to write
//       or append, and opens it to read and maps that writable. Lines:
//       writing_attempts, held_attempts, opened_for_write, mapped_writable (the
//       last two count what got through: each must stay 0). The result file says
//       "started=1" as soon as the attempts begin.
//   fetchprobe ini <path> <result>
//       CGlobalIniMgr::SetFile, then every settings key. Lines: scrambled, key,
//       ExeUrl, ExeHash, ExeParam, EndCode.
//   fetchprobe hash <path> <result>
//       CThreadHash. Lines: hash, elapsed_ms, peak_working_set.
//
// Exit code 0 when the result file was written, 2 for a bad command line, 3 when
// the result file could not be written.
#include <windows.h>
#include <psapi.h>

#include <cwchar>
#include <memory>
#include <string>

#include "common/unique_handle.h"
#include "fetchrun/transfer/download_thread.h"
#include "fetchrun/transfer/hash_thread.h"
#include "fetchrun/transfer/settings_ini.h"

#include "tests/sim/utf8.h"

namespace {

class Report {
public:
    void Add(const char* name, const std::wstring& value) { text_ += std::string(name) + "=" + Utf8(value) + "\n"; }
    void Add(const char* name, unsigned long long value) { Add(name, std::to_wstring(value)); }
    void AddMemory() {
        PROCESS_MEMORY_COUNTERS counters = {};
        counters.cb = sizeof(counters);
        if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters))) {
            Add("peak_working_set", static_cast<unsigned long long>(counters.PeakWorkingSetSize));
            Add("peak_pagefile", static_cast<unsigned long long>(counters.PeakPagefileUsage));
        }
    }
    int Write(const wchar_t* path) const {
        HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return 3;
        DWORD written = 0;
        const BOOL ok = WriteFile(file, text_.data(), static_cast<DWORD>(text_.size()), &written, nullptr);
        CloseHandle(file);
        return ok ? 0 : 3;
    }

private:
    std::string text_;
};

ULONGLONG Now() { return GetTickCount64(); }

bool Opens(const std::wstring& path, DWORD access, DWORD share) {
    const cw::unique_file file(CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr));
    return static_cast<bool>(file);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens `path` to read, sharing everything, and maps it writable; true when a
// writable view came of it.
bool MapsWritable(const std::wstring& path) {
    const cw::unique_file file(CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return false;
    const cw::unique_kernel mapping(CreateFileMappingW(file.get(), nullptr, PAGE_READWRITE, 0, 0, nullptr));
    if (!mapping) return false;
    void* view = MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, 0);
    if (!view) return false;
    UnmapViewOfFile(view);
    return true;
}

// What another process meets while the program is held.
bool HeldAgainstChange(const fetchrun::VerifiedFileLock& program) {
    const std::wstring& path = program.Path();
    return program.IsHeld() && !Opens(path, GENERIC_WRITE, kShareAll) && !DeleteFileW(path.c_str()) &&
           Opens(path, GENERIC_READ, FILE_SHARE_READ);
}

// Keeps `program` held for `ms`, with `marker` present meanwhile; the marker goes
// a second before the hold, so what an attacker tried while it saw the marker met
// the hold.
void HoldWithMarker(const fetchrun::VerifiedFileLock& program, DWORD ms, const wchar_t* marker) {
    if (!program.IsHeld() || !marker) return;
    {
        const cw::unique_file created(
            CreateFileW(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    Sleep(ms);
    DeleteFileW(marker);
    Sleep(1000);
}

int Download(int argc, wchar_t** argv) {
    if (argc < 5) return 2;
    const wchar_t* hash = nullptr;
    const wchar_t* marker = nullptr;
    DWORD verify = 0;
    long stopAfter = -1;
    long holdMs = 0;
    for (int i = 5; i < argc; ++i) {
        if (wcscmp(argv[i], L"--hash") == 0 && i + 1 < argc) {
            hash = argv[++i];
        } else if (wcscmp(argv[i], L"--verify") == 0) {
            verify = 1;
        } else if (wcscmp(argv[i], L"--stop-after-ms") == 0 && i + 1 < argc) {
            stopAfter = wcstol(argv[++i], nullptr, 10);
        } else if (wcscmp(argv[i], L"--hold-ms") == 0 && i + 1 < argc) {
            holdMs = wcstol(argv[++i], nullptr, 10);
        } else if (wcscmp(argv[i], L"--held-marker") == 0 && i + 1 < argc) {
            marker = argv[++i];
        } else {
            return 2;
        }
    }
    Report report;
    const ULONGLONG start = Now();
    std::unique_ptr<fetchrun::CThreadDL> worker(new fetchrun::CThreadDL(argv[2], argv[3], hash, verify));
    if (!worker->Start()) {
        report.Add("result", L"<thread not started>");
        return report.Write(argv[4]);
    }
    fetchrun::TransferResult result;
    if (stopAfter >= 0) {
        Sleep(static_cast<DWORD>(stopAfter));
        const bool wasRunning = worker->IsRunning();
        const ULONGLONG stopAt = Now();
        worker->Stop();  // as deleting the dialog's worker does
        report.Add("stop_wait_ms", Now() - stopAt);
        report.Add("was_running", wasRunning ? 1 : 0);
        result = worker->GetResult();
    } else {
        // The dialog's poll interval, so the figures match what a user waits.
        while (worker->IsRunning()) Sleep(500);
        result = worker->GetResult();
    }
    report.Add("elapsed_ms", Now() - start);
    const fetchrun::VerifiedFileLock program = worker->TakeProgram();
    report.Add("path", worker->Path());
    worker.reset();
    if (holdMs > 0) HoldWithMarker(program, static_cast<DWORD>(holdMs), marker);
    report.Add("held", HeldAgainstChange(program) ? 1 : 0);
    report.Add("result", fetchrun::FormatTransferResult(result));
    report.AddMemory();
    return report.Write(argv[4]);
}

int Attack(int argc, wchar_t** argv) {
    if (argc != 6) return 2;
    const std::wstring written = argv[2];
    const std::wstring held = written + L".exe";
    const wchar_t* marker = argv[3];
    const wchar_t* stop = argv[4];
    unsigned long long writingAttempts = 0;
    unsigned long long heldAttempts = 0;
    unsigned long long openedForWrite = 0;
    unsigned long long mappedWritable = 0;
    // What gets through while the hold is up counts only when the marker is still
    // there after it: the hold outlasts the marker.
    const auto attack = [&](const std::wstring& path, bool (*stillTheCase)(const wchar_t*), const wchar_t* sign) {
        if (Opens(path, GENERIC_WRITE, kShareAll) && stillTheCase(sign)) ++openedForWrite;
        if (Opens(path, FILE_APPEND_DATA, kShareAll) && stillTheCase(sign)) ++openedForWrite;
        if (MapsWritable(path) && stillTheCase(sign)) ++mappedWritable;
    };
    const auto always = [](const wchar_t*) { return true; };
    const auto markerThere = [](const wchar_t* path) { return Exists(path); };
    Report started;
    started.Add("started", 1);
    if (started.Write(argv[5]) != 0) return 3;
    const ULONGLONG end = Now() + 120000;
    while (!Exists(stop) && Now() < end) {
        bool tried = false;
        // The name the program is written under exists only while its one writing
        // handle is open: everything that opens it meets that handle.
        if (Exists(written)) {
            ++writingAttempts;
            attack(written, always, nullptr);
            tried = true;
        }
        if (Exists(marker)) {
            ++heldAttempts;
            attack(held, markerThere, marker);
            tried = true;
        }
        if (!tried) Sleep(1);
    }
    Report report;
    report.Add("writing_attempts", writingAttempts);
    report.Add("held_attempts", heldAttempts);
    report.Add("opened_for_write", openedForWrite);
    report.Add("mapped_writable", mappedWritable);
    return report.Write(argv[5]);
}

int Ini(int argc, wchar_t** argv) {
    if (argc != 4) return 2;
    fetchrun::CGlobalIniMgr& ini = fetchrun::CGlobalIniMgr::Instance();
    ini.SetFile(argv[2]);
    Report report;
    report.Add("scrambled", ini.IsScrambled() ? 1 : 0);
    report.Add("key", ini.ScrambleKey());
    for (const fetchrun::SettingKey& key : fetchrun::kSettingKeys) {
        report.Add(Utf8(key.logName).c_str(), ini.GetString(key.key));
    }
    return report.Write(argv[3]);
}

int Hash(int argc, wchar_t** argv) {
    if (argc != 4) return 2;
    Report report;
    const ULONGLONG start = Now();
    fetchrun::CThreadHash hasher(argv[2]);
    if (hasher.Start()) {
        while (hasher.IsRunning()) Sleep(300);
    }
    report.Add("elapsed_ms", Now() - start);
    report.Add("hash", hasher.GetResult());
    report.AddMemory();
    return report.Write(argv[3]);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    if (wcscmp(argv[1], L"download") == 0) return Download(argc, argv);
    if (wcscmp(argv[1], L"attack") == 0) return Attack(argc, argv);
    if (wcscmp(argv[1], L"ini") == 0) return Ini(argc, argv);
    if (wcscmp(argv[1], L"hash") == 0) return Hash(argc, argv);
    return 2;
}
