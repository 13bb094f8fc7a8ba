// Scenario tool for hwlink.dll: loads the library, calls exports by name the way a
// caller binds them, drives the simulated KHWPORT driver, and appends one JSON
// object per step to a results file (tests/e2e/firmware.py reads them).
//
//   hwcall <hwlink.dll> <results file> <step>...
//
// Steps:
//   config=<hex>            send a KHWSIM_CONFIG to the driver (clears its record)
//   log                     the driver's record of the product's requests
//   cd=<dir>                change the current directory
//   exists=<path>           whether a file exists
//   touch=<path>            create an empty file
//   service=query|stop|start|delete   the KHWPORT service, without the library
//   call=<export>[|arg...]  call an export; arguments are numbers (0x.. allowed),
//                           "null", or text
// Outputs that an export must leave untouched are pre-filled: 32-bit values with
// 0xEEEEEEEE, 16-bit status outputs with 0xEEEE, records and buffers with 0xCC.
// A message box an export shows is read ("caption|text") and closed with OK while
// the call runs; the call's result lists them under "boxes".
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "hwlink/hwlink.h"
#include "tests/sim/khwport/khwport_sim.h"
#include "common/unique_handle.h"

namespace {

constexpr std::uint32_t kUnset32 = 0xEEEEEEEE;
constexpr std::uint16_t kUnset16 = 0xEEEE;
constexpr std::uint8_t kUnsetByte = 0xCC;

static_assert(sizeof(KHWSIM_RULE) == 84 && sizeof(KHWSIM_CONFIG) == 2960, "layout firmware.py writes");

HMODULE g_library = nullptr;
const char* g_libraryPath = nullptr;
FILE* g_results = nullptr;

std::string Hex(const void* data, std::size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    const auto* p = static_cast<const std::uint8_t*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        out += digits[p[i] >> 4];
        out += digits[p[i] & 15];
    }
    return out;
}

bool Unhex(const std::string& text, std::vector<std::uint8_t>& out) {
    if (text.size() % 2) return false;
    out.clear();
    for (std::size_t i = 0; i < text.size(); i += 2) {
        char pair[3] = {text[i], text[i + 1], 0};
        char* end = nullptr;
        out.push_back(static_cast<std::uint8_t>(strtoul(pair, &end, 16)));
        if (*end) return false;
    }
    return true;
}

std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

// One JSON object built field by field.
class Line {
public:
    explicit Line(const char* step) { text_ = "{\"step\":" + Quote(step); }
    Line& Num(const char* key, unsigned long long v) {
        text_ += ",\"" + std::string(key) + "\":" + std::to_string(v);
        return *this;
    }
    Line& Str(const char* key, const std::string& v) {
        text_ += ",\"" + std::string(key) + "\":" + Quote(v);
        return *this;
    }
    Line& Bool(const char* key, bool v) {
        text_ += ",\"" + std::string(key) + "\":" + (v ? "true" : "false");
        return *this;
    }
    Line& Raw(const char* key, const std::string& json) {
        text_ += ",\"" + std::string(key) + "\":" + json;
        return *this;
    }
    ~Line() {
        fprintf(g_results, "%s}\n", text_.c_str());
        fflush(g_results);
    }

private:
    std::string text_;
};

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

std::uint32_t Number(const std::vector<std::string>& args, std::size_t index, std::uint32_t fallback) {
    if (index >= args.size() || args[index].empty()) return fallback;
    return static_cast<std::uint32_t>(strtoul(args[index].c_str(), nullptr, 0));
}

bool IsNull(const std::vector<std::string>& args, std::size_t index) {
    return index < args.size() && args[index] == "null";
}

HANDLE OpenDriver() {
    return CreateFileA("\\\\.\\KHWPORT", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

// --- driver steps -------------------------------------------------------------

void Configure(const std::string& hex) {
    std::vector<std::uint8_t> config;
    DWORD error = 0;
    bool ok = Unhex(hex, config) && config.size() == sizeof(KHWSIM_CONFIG);
    if (ok) {
        cw::unique_file device(OpenDriver());
        DWORD returned = 0;
        ok = device && DeviceIoControl(device.get(), KHWSIM_CONFIGURE, config.data(),
                                       static_cast<DWORD>(config.size()), nullptr, 0, &returned, nullptr);
        if (!ok) error = GetLastError();
    }
    Line("config").Bool("ok", ok).Num("error", error);
}

void ReadLog() {
    std::vector<std::uint8_t> log(KHWSIM_LOG_SIZE);
    cw::unique_file device(OpenDriver());
    DWORD returned = 0;
    if (!device || !DeviceIoControl(device.get(), KHWSIM_READ_LOG, nullptr, 0, log.data(),
                                    static_cast<DWORD>(log.size()), &returned, nullptr) ||
        returned < KHWSIM_LOG_HEADER) {
        Line("log").Bool("ok", false).Num("error", GetLastError());
        return;
    }
    auto u32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        if (at + 4 <= returned) std::memcpy(&v, log.data() + at, 4);
        return v;
    };
    std::string records = "[";
    std::size_t at = KHWSIM_LOG_HEADER;
    for (std::uint32_t i = 0; i < u32(0) && at + KHWSIM_RECORD_HEADER <= returned; ++i) {
        const std::uint32_t kept = u32(at + 8);
        if (at + KHWSIM_RECORD_HEADER + kept > returned) break;
        if (i) records += ",";
        records += "{\"code\":" + std::to_string(u32(at)) + ",\"size\":" + std::to_string(u32(at + 4)) +
                   ",\"data\":" + Quote(Hex(log.data() + at + KHWSIM_RECORD_HEADER, kept)) + "}";
        at += KHWSIM_RECORD_HEADER + kept;
    }
    records += "]";
    Line("log").Bool("ok", true).Num("dropped", u32(4)).Raw("records", records);
}

void Service(const std::string& action) {
    cw::unique_service manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    cw::unique_service service(manager ? OpenServiceA(manager.get(), "KHWPORT", SERVICE_ALL_ACCESS) : nullptr);
    if (!service) {
        Line("service").Str("action", action).Bool("ok", false).Num("error", GetLastError());
        return;
    }
    SERVICE_STATUS state = {};
    bool ok = true;
    DWORD error = 0;
    if (action == "stop") {
        ok = ControlService(service.get(), SERVICE_CONTROL_STOP, &state);
        for (int i = 0; ok && i < 100 && state.dwCurrentState != SERVICE_STOPPED; ++i) {
            Sleep(50);
            QueryServiceStatus(service.get(), &state);
        }
    } else if (action == "start") {
        ok = StartServiceA(service.get(), 0, nullptr);
    } else if (action == "delete") {
        ok = DeleteService(service.get());
    }
    if (!ok) error = GetLastError();
    QueryServiceStatus(service.get(), &state);
    std::string binary;
    std::vector<std::uint8_t> buffer(8192);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    DWORD needed = 0;
    DWORD startType = 0xFFFFFFFF, tag = 0;
    std::string group;
    if (QueryServiceConfigA(service.get(), config, static_cast<DWORD>(buffer.size()), &needed)) {
        binary = config->lpBinaryPathName ? config->lpBinaryPathName : "";
        group = config->lpLoadOrderGroup ? config->lpLoadOrderGroup : "";
        startType = config->dwStartType;
        tag = config->dwTagId;
    }
    Line("service").Str("action", action).Bool("ok", ok).Num("error", error).Num("state", state.dwCurrentState)
        .Num("start_type", startType).Num("tag", tag).Str("binary", binary).Str("group", group);
}

// --- export calls ---------------------------------------------------------------

// Reads and answers the message boxes (#32770 windows) of this process while it lives.
class BoxWatcher {
public:
    BoxWatcher() : thread_([this] { Watch(); }) {}
    ~BoxWatcher() {
        stop_ = true;
        thread_.join();
    }
    std::string Json() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::string out = "[";
        for (std::size_t i = 0; i < boxes_.size(); ++i) out += (i ? "," : "") + Quote(boxes_[i]);
        return out + "]";
    }

private:
    void Watch() {
        while (!stop_) {
            EnumWindows(
                [](HWND window, LPARAM self) -> BOOL {
                    reinterpret_cast<BoxWatcher*>(self)->Answer(window);
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(this));
            Sleep(20);
        }
    }
    void Answer(HWND window) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        char className[16] = {};
        if (process != GetCurrentProcessId() || !IsWindowVisible(window) ||
            !GetClassNameA(window, className, sizeof className) || strcmp(className, "#32770") != 0)
            return;
        std::string box = Text(window) + "|";
        EnumChildWindows(
            window,
            [](HWND child, LPARAM text) -> BOOL {
                char name[16] = {};
                GetClassNameA(child, name, sizeof name);
                if (_stricmp(name, "Static") == 0) *reinterpret_cast<std::string*>(text) += Text(child);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&box));
        {
            std::lock_guard<std::mutex> lock(mutex_);
            boxes_.push_back(box);
        }
        SendMessageA(window, WM_COMMAND, IDOK, 0);
    }
    static std::string Text(HWND window) {
        char text[512] = {};
        GetWindowTextA(window, text, sizeof text);
        return text;
    }

    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::string> boxes_;
    std::thread thread_;
};

void Words(Line& line, const std::uint16_t* w, int count) {
    static const char* names[] = {"s1", "s2", "s3", "s4"};
    for (int i = 0; i < count; ++i) line.Num(names[i], w[i]);
}

// Blocks a caller passes to the generic GABI exports: control (class, function),
// input (version 1, handle), output, each with its length word.
struct CallerBlocks {
    std::vector<std::uint8_t> control, input, output;
    CallerBlocks(std::size_t lc, std::size_t li, std::size_t lo, std::uint16_t cls, std::uint16_t fn)
        : control(lc, 0), input(li, 0), output(lo, kUnsetByte) {
        auto put16 = [](std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
            if (at + 2 <= b.size()) { b[at] = static_cast<std::uint8_t>(v); b[at + 1] = static_cast<std::uint8_t>(v >> 8); }
        };
        put16(control, 0, static_cast<std::uint16_t>(lc));
        put16(control, 2, cls);
        put16(control, 4, fn);
        put16(input, 0, static_cast<std::uint16_t>(li));
        put16(input, 2, 1);
        put16(output, 0, static_cast<std::uint16_t>(lo));
        for (std::size_t i = 2; i < 8 && i < lo; ++i) output[i] = 0;
    }
};

std::uint16_t Word(const std::vector<std::uint8_t>& b, std::size_t at) {
    return at + 2 <= b.size() ? static_cast<std::uint16_t>(b[at] | b[at + 1] << 8) : 0;
}

void Call(const std::string& step) {
    const std::vector<std::string> args = Split(step, '|');
    const std::string& name = args[0];
    Line line("call");
    line.Str("name", name);
    void* proc = g_library || (g_library = LoadLibraryA(g_libraryPath))
                     ? reinterpret_cast<void*>(GetProcAddress(g_library, name.c_str()))
                     : nullptr;
    if (!proc) {
        line.Bool("bound", false).Num("error", GetLastError());
        return;
    }
    std::uint16_t w[4] = {kUnset16, kUnset16, kUnset16, kUnset16};
    std::uint32_t status = kUnset32;
    BoxWatcher boxes;

    if (name == "KernelDrv_Install" || name == "KernelDrv_UnInstall") {
        status = reinterpret_cast<decltype(&KernelDrv_Install)>(proc)();
    } else if (name == "KernelDrv_Install_Test") {
        status = reinterpret_cast<decltype(&KernelDrv_Install_Test)>(proc)(args.at(1).c_str(), Number(args, 2, 3));
    } else if (name == "KernelDrv_UnInstall_Test") {
        status = reinterpret_cast<decltype(&KernelDrv_UnInstall_Test)>(proc)(args.at(1).c_str());
    } else if (name == "GetDriverVersion") {
        std::uint32_t first = kUnset32, second = kUnset32;
        status = reinterpret_cast<decltype(&GetDriverVersion)>(proc)(&first, &second);
        line.Num("first", first).Num("second", second);
    } else if (name == "CheckGABI") {
        std::uint32_t flag = kUnset32;
        status = reinterpret_cast<decltype(&CheckGABI)>(proc)(IsNull(args, 1) ? nullptr : &flag);
        line.Num("flag", flag);
    } else if (name == "GetGABIEntry") {
        std::vector<std::uint8_t> buffer(Number(args, 1, 256), kUnsetByte);
        status = reinterpret_cast<decltype(&GetGABIEntry)>(proc)(buffer.data(), static_cast<std::uint32_t>(buffer.size()));
        line.Str("data", Hex(buffer.data(), buffer.size()));
    } else if (name == "CallGABIService") {
        CallerBlocks b(1024, 512, 64, 0x8001, 3);
        const CallerBlocks before = b;
        status = reinterpret_cast<decltype(&CallGABIService)>(proc)(
            b.input.data(), b.output.data(), IsNull(args, 1) ? nullptr : b.control.data());
        line.Bool("unchanged", b.control == before.control && b.input == before.input && b.output == before.output)
            .Num("s1", Word(b.control, 6)).Num("s2", Word(b.control, 8))
            .Str("output", Hex(b.output.data(), b.output.size()));
    } else if (name == "CallGABIService_SingleBuf") {
        // One GabiFrame of small blocks, as a caller would lay it out itself.
        CallerBlocks b(16, 8, 8, 0x8001, 3);
        std::vector<std::uint8_t> frame = {16, 0, 8, 0, 8, 0};
        frame.insert(frame.end(), b.control.begin(), b.control.end());
        frame.insert(frame.end(), b.input.begin(), b.input.end());
        frame.insert(frame.end(), b.output.begin(), b.output.end());
        status = reinterpret_cast<decltype(&CallGABIService_SingleBuf)>(proc)(
            Number(args, 1, 0x22E096), frame.data(), static_cast<std::uint32_t>(frame.size()));
        line.Str("data", Hex(frame.data(), frame.size()));
    } else if (name == "CallGABIService_4buf") {
        CallerBlocks b(16, 8, 8, 0x8000, 4);
        std::vector<std::uint8_t> extra(Number(args, 2, 8), kUnsetByte);
        const bool noExtra = IsNull(args, 3);
        status = reinterpret_cast<decltype(&CallGABIService_4buf)>(proc)(
            Number(args, 1, 0x22E09A), b.input.data(), b.output.data(), b.control.data(),
            noExtra ? nullptr : extra.data(), static_cast<std::uint32_t>(extra.size()));
        line.Num("s1", Word(b.control, 6)).Num("s2", Word(b.control, 8)).Str("extra", Hex(extra.data(), extra.size()));
    } else if (name == "_CallServiceInterface") {
        std::vector<std::uint8_t> reply(35, kUnsetByte), control(1024, kUnsetByte);
        status = reinterpret_cast<decltype(&_CallServiceInterface)>(proc)(Number(args, 1, 0x8001), reply.data(),
                                                                          control.data());
        line.Str("reply", Hex(reply.data(), reply.size())).Str("control", Hex(control.data(), 16));
    } else if (name == "_CallEnter" || name == "_CallExit") {
        const bool enter = name == "_CallEnter";
        const std::size_t base = enter ? 2 : 3;
        std::vector<std::uint8_t> control(Number(args, base, 1024), kUnsetByte);
        std::vector<std::uint8_t> input(Number(args, base + 1, 512), kUnsetByte);
        std::vector<std::uint8_t> output(Number(args, base + 2, 64), kUnsetByte);
        const auto lc = static_cast<std::uint32_t>(control.size()), li = static_cast<std::uint32_t>(input.size()),
                   lo = static_cast<std::uint32_t>(output.size());
        if (enter)
            status = reinterpret_cast<decltype(&_CallEnter)>(proc)(Number(args, 1, 0x8001), input.data(), li,
                                                                   output.data(), lo, control.data(), lc);
        else
            status = reinterpret_cast<decltype(&_CallExit)>(proc)(Number(args, 1, 0x8001), Number(args, 2, 0),
                                                                  input.data(), li, output.data(), lo,
                                                                  control.data(), lc);
        std::uint32_t handle = 0;
        if (output.size() >= 8) std::memcpy(&handle, output.data() + 4, 4);
        line.Num("handle", handle).Num("s1", Word(control, 6)).Num("s2", Word(control, 8))
            .Str("control", Hex(control.data(), control.size() < 16 ? control.size() : 16));
    } else if (name == "GABI_NVMISC_GetSystemInfo") {
        std::uint8_t record[sizeof(NvmiscSystemInfo)];
        std::memset(record, kUnsetByte, sizeof record);
        const bool nullWords = IsNull(args, 1);
        status = reinterpret_cast<decltype(&GABI_NVMISC_GetSystemInfo)>(proc)(
            reinterpret_cast<NvmiscSystemInfo*>(record), nullWords ? nullptr : &w[0],
            nullWords ? nullptr : &w[1], nullWords ? nullptr : &w[2]);
        line.Str("record", Hex(record, sizeof record));
        Words(line, w, 3);
    } else if (name == "GABI_NVMISC_SetMessageIndicator") {
        status = reinterpret_cast<decltype(&GABI_NVMISC_SetMessageIndicator)>(proc)(Number(args, 1, 0), &w[0],
                                                                                    &w[1], &w[2]);
        Words(line, w, 3);
    } else if (name == "GABI_NVMISC_GetWakeupOnRTC") {
        std::uint8_t record[sizeof(NvmiscWakeupRecord)];
        std::memset(record, kUnsetByte, sizeof record);
        status = reinterpret_cast<decltype(&GABI_NVMISC_GetWakeupOnRTC)>(proc)(
            reinterpret_cast<NvmiscWakeupRecord*>(record), &w[0], &w[1], &w[2]);
        line.Str("record", Hex(record, sizeof record));
        Words(line, w, 3);
    } else if (name == "GABI_NVMISC_SetWakeupOnRTC") {
        std::vector<std::uint8_t> setting;
        if (args.size() < 2 || !Unhex(args[1], setting) || setting.size() != sizeof(NvmiscWakeupSetting))
            setting.assign(sizeof(NvmiscWakeupSetting), 0);
        status = reinterpret_cast<decltype(&GABI_NVMISC_SetWakeupOnRTC)>(proc)(
            reinterpret_cast<const NvmiscWakeupSetting*>(setting.data()), &w[0], &w[1], &w[2]);
        Words(line, w, 3);
    } else if (name == "GABI_NVMISC_GetBspfInfo" || name == "GABI_NVMISC_GetBspfInfo_V2") {
        std::uint8_t info[8];
        std::memset(info, kUnsetByte, sizeof info);
        status = reinterpret_cast<decltype(&GABI_NVMISC_GetBspfInfo)>(proc)(info, &w[0], &w[1]);
        line.Str("info", Hex(info, sizeof info));
        Words(line, w, 2);
    } else if (name == "GABI_NVMISC_SetBspfCommand") {
        std::vector<std::uint8_t> data(Number(args, 1, 16));
        for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i);
        status = reinterpret_cast<decltype(&GABI_NVMISC_SetBspfCommand)>(proc)(
            data.data(), static_cast<std::uint32_t>(data.size()), &w[0], &w[1]);
        Words(line, w, 2);
    } else {
        line.Bool("known", false);
        return;
    }
    line.Num("status", status).Raw("boxes", boxes.Json());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: hwcall <hwlink.dll> <results file> <step>...\n");
        return 2;
    }
    g_libraryPath = argv[1];
    g_results = fopen(argv[2], "ab");
    if (!g_results) {
        fprintf(stderr, "hwcall: cannot open %s\n", argv[2]);
        return 2;
    }
    for (int i = 3; i < argc; ++i) {
        const std::string step = argv[i];
        const std::size_t eq = step.find('=');
        const std::string key = step.substr(0, eq);
        const std::string value = eq == std::string::npos ? "" : step.substr(eq + 1);
        if (key == "config") {
            Configure(value);
        } else if (key == "log") {
            ReadLog();
        } else if (key == "cd") {
            Line("cd").Bool("ok", SetCurrentDirectoryA(value.c_str()) != FALSE);
        } else if (key == "exists") {
            const DWORD attributes = GetFileAttributesA(value.c_str());
            Line("exists").Str("path", value).Bool("exists", attributes != INVALID_FILE_ATTRIBUTES);
        } else if (key == "touch") {
            cw::unique_file file(CreateFileA(value.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            Line("touch").Str("path", value).Bool("ok", static_cast<bool>(file));
        } else if (key == "service") {
            Service(value);
        } else if (key == "call") {
            Call(value);
        } else {
            Line("unknown").Str("text", step);
        }
    }
    if (g_library) FreeLibrary(g_library);
    fclose(g_results);
    return 0;
}
