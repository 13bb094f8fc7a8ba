// Runs a program (Fetchrun.exe or Cellwise.exe) and plays a script against its
// windows, for the GUI scenarios. It runs inside the Wine desktop under test, so
// it sees the same windows as the user would. Everything goes through files in a
// control folder, because the desktop's launcher returns at once and carries no
// exit code:
//
//   fetchrun_gui.exe <control folder>
//   in : cmdline.txt  line 1 the command line, line 2 the working directory (UTF-8)
//        script.txt   one step a line:
//                       wait progress|task|message|result   a visible dialog of that kind
//                       snap <name>     writes snap.<name>, waits for snapped.<name>
//                       press <id>      clicks the button <id> of the last dialog
//                       post <id>       posts that click instead (the step does not
//                                       wait for what the click opens)
//                       sysclose        sends SC_CLOSE to the last dialog
//                       close           posts WM_CLOSE to it (as "end task" does)
//                       activate        hands the foreground to the desktop and back
//                       key escape|altf4   activates the last dialog and types the key
//                       tick <id> <n>   posts WM_TIMER <id> to it <n> times
//                       visible         waits until it is visible again
//                       state           traces whether the program runs and how the
//                                       last dialog is shown (with or without a
//                                       system menu and a close box)
//                       rect <id>       traces the screen rectangle of control <id>
//                                       (0: the dialog)
//   out: trace.txt    what was seen (caption and every child's id, class, text)
//        exit.txt     the program's exit code, or "error <step>" (written last)
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "tests/sim/utf8.h"

namespace {

constexpr DWORD kStepTimeoutMs = 30000;
constexpr DWORD kPollMs = 50;
constexpr int kProgressId = 1001;
constexpr int kRetryId = 256;
constexpr int kResultId = 1004;  // the computer label of Cellwise's result dialogs

std::wstring g_control;
PROCESS_INFORMATION g_child = {};

std::wstring Wide(const std::string& text) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size);
    return out;
}

std::wstring ControlPath(const std::wstring& name) { return g_control + L"\\" + name; }

bool ReadFileText(const std::wstring& path, std::string& text) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char buffer[4096];
    DWORD read = 0;
    text.clear();
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read) text.append(buffer, read);
    CloseHandle(file);
    return true;
}

void WriteFileText(const std::wstring& path, const std::string& text, bool append) {
    HANDLE file = CreateFileW(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              append ? OPEN_ALWAYS : CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

void Trace(const std::wstring& line) { WriteFileText(ControlPath(L"trace.txt"), Utf8(line) + "\n", true); }

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\r') continue;
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

std::wstring WindowText(HWND window) {
    wchar_t text[2048] = {};
    // WM_GETTEXT reaches other processes' controls too.
    SendMessageTimeoutW(window, WM_GETTEXT, sizeof(text) / sizeof(text[0]), reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 2000, nullptr);
    std::wstring out;
    for (const wchar_t* p = text; *p; ++p) {
        if (*p == L'\n') out += L"\\n";
        else if (*p == L'\r') out += L"\\r";
        else out += *p;
    }
    return out;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

// A visible top-level dialog of the child process that holds control `markerId`
// (and, for message boxes, none of the other kinds' markers).
struct Search {
    int markerId;
    bool messageBox;
    HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != g_child.dwProcessId || !IsWindowVisible(window) || ClassOf(window) != L"#32770") return TRUE;
    const bool hasMarker = GetDlgItem(window, search->markerId) != nullptr;
    const bool other = GetDlgItem(window, kProgressId) || GetDlgItem(window, kRetryId);
    if (hasMarker && (!search->messageBox || !other)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK DumpChild(HWND child, LPARAM) {
    wchar_t line[64];
    wsprintfW(line, L"  child %d ", GetDlgCtrlID(child));
    Trace(std::wstring(line) + ClassOf(child) + (IsWindowVisible(child) ? L" visible " : L" hidden ") + L"\"" +
          WindowText(child) + L"\"");
    return TRUE;
}

void Dump(const std::wstring& kind, HWND window) {
    Trace(L"dialog " + kind + L" \"" + WindowText(window) + L"\"" +
          (GetForegroundWindow() == window ? L" foreground" : L""));
    EnumChildWindows(window, DumpChild, 0);
}

bool ChildEnded() { return WaitForSingleObject(g_child.hProcess, 0) == WAIT_OBJECT_0; }

HWND WaitFor(const std::wstring& kind) {
    Search search = {0, false, nullptr};
    if (kind == L"progress") search.markerId = kProgressId;
    else if (kind == L"task") search.markerId = kRetryId;
    else if (kind == L"message") search = {IDOK, true, nullptr};
    else if (kind == L"result") search.markerId = kResultId;
    else return nullptr;
    for (DWORD waited = 0; waited < kStepTimeoutMs; waited += kPollMs) {
        search.found = nullptr;
        EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            Sleep(500);  // let it paint before anyone looks
            Dump(kind, search.found);
            return search.found;
        }
        if (ChildEnded()) return nullptr;
        Sleep(kPollMs);
    }
    return nullptr;
}

bool Snap(const std::wstring& name) {
    WriteFileText(ControlPath(L"snap." + name), "", false);
    const std::wstring done = ControlPath(L"snapped." + name);
    for (DWORD waited = 0; waited < kStepTimeoutMs; waited += kPollMs) {
        if (GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
        Sleep(kPollMs);
    }
    return false;
}

// Activates `window` and types a key (with Alt for "altf4") as the keyboard would.
bool TypeKey(HWND window, const std::wstring& name) {
    std::vector<WORD> keys;
    if (name == L"escape") keys = {VK_ESCAPE};
    else if (name == L"altf4") keys = {VK_MENU, VK_F4};
    else return false;
    SetForegroundWindow(window);
    Sleep(200);
    std::vector<INPUT> inputs;
    for (WORD key : keys) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        inputs.push_back(input);
    }
    for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = *key;
        input.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    Sleep(500);
    return true;
}

void TraceState(HWND window) {
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    const LONG exStyle = GetWindowLongW(window, GWL_EXSTYLE);
    const DWORD classStyle = GetClassLongW(window, GCL_STYLE);
    std::wstring line = L"state";
    line += ChildEnded() ? L" ended" : L" running";
    line += IsWindow(window) && IsWindowVisible(window) ? L" visible" : L" hidden";
    line += GetForegroundWindow() == window ? L" foreground" : L" background";
    line += (exStyle & WS_EX_TOPMOST) ? L" topmost" : L" normal";
    line += (style & WS_SYSMENU) ? L" sysmenu" : L" nosysmenu";
    // A close box needs the system menu, and a class without CS_NOCLOSE.
    line += (style & WS_SYSMENU) && !(classStyle & CS_NOCLOSE) ? L" close" : L" noclose";
    Trace(line);
}

void TraceRect(HWND dialog, int id) {
    const HWND window = id ? GetDlgItem(dialog, id) : dialog;
    RECT r = {};
    if (!window || !GetWindowRect(window, &r)) {
        Trace(L"rect " + std::to_wstring(id) + L" none");
        return;
    }
    Trace(L"rect " + std::to_wstring(id) + L" " + std::to_wstring(r.left) + L" " + std::to_wstring(r.top) + L" " +
          std::to_wstring(r.right - r.left) + L" " + std::to_wstring(r.bottom - r.top));
}

int Fail(const std::wstring& step) {
    Trace(L"error " + step);
    TerminateProcess(g_child.hProcess, 0xDEAD);
    WriteFileText(ControlPath(L"exit.txt"), "error " + Utf8(step), false);
    return 1;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2) return 2;
    g_control = argv[1];
    LocalFree(argv);

    std::string text;
    if (!ReadFileText(ControlPath(L"cmdline.txt"), text)) return 2;
    const std::vector<std::string> call = Lines(text);
    if (call.size() < 2) return 2;
    std::vector<std::string> script;
    if (ReadFileText(ControlPath(L"script.txt"), text)) script = Lines(text);

    std::wstring commandLine = Wide(call[0]);
    const std::wstring folder = Wide(call[1]);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &g_child)) {
        WriteFileText(ControlPath(L"exit.txt"), "error start", false);
        return 1;
    }
    Trace(L"started");

    HWND last = nullptr;
    for (const std::string& raw : script) {
        const std::wstring step = Wide(raw);
        if (step.empty()) continue;
        const std::size_t blank = step.find(L' ');
        const std::wstring verb = step.substr(0, blank);
        const std::wstring arg = blank == std::wstring::npos ? L"" : step.substr(blank + 1);
        Trace(L"step " + step);
        if (verb == L"wait") {
            last = WaitFor(arg);
            if (!last) return Fail(step);
        } else if (verb == L"snap") {
            if (!Snap(arg)) return Fail(step);
        } else if (verb == L"press") {
            const HWND button = last ? GetDlgItem(last, _wtoi(arg.c_str())) : nullptr;
            if (!button) return Fail(step);
            SendMessageW(button, BM_CLICK, 0, 0);
        } else if (verb == L"post") {
            const int id = _wtoi(arg.c_str());
            const HWND button = last ? GetDlgItem(last, id) : nullptr;
            if (!button) return Fail(step);
            PostMessageW(last, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
        } else if (verb == L"activate") {
            if (!last) return Fail(step);
            SetForegroundWindow(GetDesktopWindow());
            Sleep(200);
            SetForegroundWindow(last);
            Sleep(300);
        } else if (verb == L"key") {
            if (!last || !TypeKey(last, arg)) return Fail(step);
        } else if (verb == L"tick") {
            const std::size_t space = arg.find(L' ');
            if (!last || space == std::wstring::npos) return Fail(step);
            const UINT_PTR id = static_cast<UINT_PTR>(_wtoi(arg.substr(0, space).c_str()));
            for (int n = _wtoi(arg.substr(space + 1).c_str()); n > 0; --n) PostMessageW(last, WM_TIMER, id, 0);
            Sleep(300);  // let the program take them before anyone looks
        } else if (verb == L"visible") {
            const DWORD start = GetTickCount();
            while (last && !IsWindowVisible(last) && GetTickCount() - start < kStepTimeoutMs && !ChildEnded()) {
                Sleep(kPollMs);
            }
            if (!last || !IsWindowVisible(last)) return Fail(step);
            Trace(L"visible after " + std::to_wstring(GetTickCount() - start) + L" ms");
            Sleep(500);  // the return ends after the window is shown
        } else if (verb == L"state") {
            if (!last) return Fail(step);
            TraceState(last);
        } else if (verb == L"rect") {
            if (!last) return Fail(step);
            TraceRect(last, _wtoi(arg.c_str()));
        } else if (verb == L"close") {
            // "close" closes the window waited for last; "close <kind>" finds one anew.
            const HWND target = arg.empty() ? last : WaitFor(arg);
            if (!target) return Fail(step);
            PostMessageW(target, WM_CLOSE, 0, 0);
        } else if (verb == L"sysclose") {
            if (!last) return Fail(step);
            SendMessageW(last, WM_SYSCOMMAND, SC_CLOSE, 0);
            Sleep(300);
            Trace(IsWindow(last) && IsWindowVisible(last) ? L"sysclose ignored" : L"sysclose closed");
        } else {
            return Fail(step);
        }
    }

    if (WaitForSingleObject(g_child.hProcess, kStepTimeoutMs) != WAIT_OBJECT_0) return Fail(L"exit");
    DWORD code = 0;
    GetExitCodeProcess(g_child.hProcess, &code);
    CloseHandle(g_child.hThread);
    CloseHandle(g_child.hProcess);
    Trace(L"exit");
    WriteFileText(ControlPath(L"exit.txt"), std::to_string(code), false);
    return 0;
}
