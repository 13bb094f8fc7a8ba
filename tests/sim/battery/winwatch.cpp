// Runs a GUI program and answers its windows, so that scenarios can run it
// without -silent in a prefix whose null graphics driver keeps modal windows
// waiting for input that never comes:
//   winwatch <report file> <program> [args ...]
// Every visible top-level window the program opens is written to the report (UTF-8, one
// line each, first sighting only) and then dismissed: WM_COMMAND IDOK, later
// WM_CLOSE if it stays. The exit code is the program's; 250+ are winwatch's own.
#include <windows.h>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "common/unique_handle.h"

namespace {

const UINT kMessageTextId = 0xFFFF;  // static text of a message box
const UINT kMessageIconId = 0x0440;  // icon of a message box
const DWORD kLimitMs = 20000;

std::string utf8(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        if (c == L'\r') out += "\\r";
        else if (c == L'\n') out += "\\n";
        else if (c == L'\\') out += "\\\\";
        else if (c < 0x80) out += static_cast<char>(c);
        else {
            char buf[8];
            int n = WideCharToMultiByte(CP_UTF8, 0, &c, 1, buf, sizeof buf, nullptr, nullptr);
            out.append(buf, n > 0 ? n : 0);
        }
    }
    return out;
}

std::wstring windowText(HWND h) {
    int len = GetWindowTextLengthW(h);
    std::wstring text(static_cast<size_t>(len) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(h, text.data(), len + 1)));
    return text;
}

// Quotes one argument so that CommandLineToArgvW gives it back unchanged.
std::wstring quote(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    size_t slashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        slashes = 0;
        out += c;
    }
    out.append(slashes * 2, L'\\');
    return out + L"\"";
}

struct Watch {
    DWORD pid;
    FILE* report;
    std::set<HWND> seen;
    std::vector<std::pair<HWND, DWORD>> pending;  // window, first sighting
};

BOOL CALLBACK visit(HWND h, LPARAM param) {
    auto* watch = reinterpret_cast<Watch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid != watch->pid) return TRUE;
    // A dialog becomes visible once its initialisation has filled it in.
    if (!IsWindowVisible(h)) return TRUE;
    wchar_t cls[64] = L"";
    GetClassNameW(h, cls, ARRAYSIZE(cls));
    if (wcscmp(cls, L"IME") == 0) return TRUE;
    if (watch->seen.insert(h).second) {
        HWND text = GetDlgItem(h, kMessageTextId);
        HWND icon = GetDlgItem(h, kMessageIconId);
        bool hasIcon = icon && SendMessageW(icon, STM_GETICON, 0, 0) != 0;
        fprintf(watch->report, "window class=%s caption=%s text=%s icon=%d\n", utf8(cls).c_str(),
                utf8(windowText(h)).c_str(), text ? utf8(windowText(text)).c_str() : "", hasIcon ? 1 : 0);
        fflush(watch->report);
        watch->pending.emplace_back(h, GetTickCount());
        PostMessageW(h, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        fwprintf(stderr, L"usage: winwatch <report> <program> [args ...]\n");
        return 250;
    }
    FILE* report = _wfopen(argv[1], L"wb");
    if (!report) return 251;
    std::wstring commandLine = quote(argv[2]);
    for (int i = 3; i < argc; ++i) commandLine += L" " + quote(argv[i]);

    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(argv[2], commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        fprintf(report, "start-failed=%lu\n", GetLastError());
        fclose(report);
        return 252;
    }
    cw::unique_kernel process(pi.hProcess), thread(pi.hThread);
    Watch watch{pi.dwProcessId, report, {}, {}};
    DWORD started = GetTickCount();
    while (WaitForSingleObject(process.get(), 20) == WAIT_TIMEOUT) {
        EnumWindows(visit, reinterpret_cast<LPARAM>(&watch));
        for (auto& [h, since] : watch.pending)
            if (IsWindow(h) && GetTickCount() - since > 1000) PostMessageW(h, WM_CLOSE, 0, 0);
        if (GetTickCount() - started > kLimitMs) {
            fprintf(report, "timeout\n");
            TerminateProcess(process.get(), 253);
        }
    }
    DWORD code = 254;
    GetExitCodeProcess(process.get(), &code);
    fprintf(report, "exit=%lu\n", code);
    fclose(report);
    return static_cast<int>(code);
}
