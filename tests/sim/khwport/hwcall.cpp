// Scenario tool for hwlink.dll: loads the library, calls exports by name the way a
// caller binds them, drives the simulated KHWPORT driver, and appends one JSON
// object per step to a results file (tests/e2e/firmware.py reads them).
//
//   hwcall <hwlink.dll> <results file> <step>...
//
// Steps:
//   config=<description>    configure the driver's firmware (clears its record);
//                           see DescribeConfig for the description
//   log                     the driver's record of the product's requests
//   cd=<dir>                change the current directory
//   exists=<path>           whether a file exists
//   touch=<path>            create an empty file
//   service=query|stop|start|delete   the KHWPORT service, without the library
//   call=<export>[|arg...]  call an export through its type from hwlink.h;
//                           arguments are numbers (0x.. allowed), "null", text or
//                           hex bytes, as each export's branch below says
//   mismatch                call two exports through a type of the other calling
//                           convention, to show that the stack check sees it
// Outputs that an export must leave untouched are pre-filled: 32-bit values with
// 0xEEEEEEEE, 16-bit status outputs with 0xEEEE, records and buffers with 0xCC.
// A message box an export shows is read ("caption|text") and closed with OK while
// the call runs; the call's result lists them under "boxes". In a 32-bit build a
// call that leaves the stack pointer elsewhere than its declared convention says
// is reported ("balanced": false) and ends the run with exit code 3.
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "hwlink/hwlink.h"
#include "tests/sim/khwport/khwport_sim.h"
#include "common/unique_handle.h"

namespace {

constexpr std::uint32_t kUnset32 = 0xEEEEEEEE;
constexpr std::uint16_t kUnset16 = 0xEEEE;
constexpr std::uint8_t kUnsetByte = 0xCC;

// The driver is x86_64 whatever the bitness of this tool: both builds of it must
// lay the configuration out as the driver does.
static_assert(sizeof(KHWSIM_RULE) == 84 && sizeof(KHWSIM_CONFIG) == 2976, "layout the driver reads");

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

HANDLE OpenDriver() {
    return CreateFileA("\\\\.\\KHWPORT", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

// --- the firmware's configuration, from a readable description ------------------
//
// The scenarios describe the firmware by the field names of khwport_sim.h, and
// the fields are written here through offsetof and sizeof, so that header stays
// the one definition of the layout:
//
//   presence=1 presenceMode=short entry=<hex> devfwCount=2
//   rule serviceClass=0x8001 function=3 word1=1 word2=1 dataOffset=8 data=<hex>
//   rule ...
//
// Tokens are separated by blanks. The configuration's own fields come first;
// "rule" starts the next rule, whose fields follow it. Numbers are decimal or
// 0x hexadecimal, modes also reply, fail or short, byte fields hex. Fields left
// out are zero; the magic, the rule count and a rule's dataLength follow from the
// description.

enum class FieldKind { kNumber, kMode, kBytes };

struct ConfigField {
    const char* name;
    std::size_t offset;
    std::size_t size;
    FieldKind kind;
    std::size_t countOffset;  // kBytes: the 16-bit field that receives the byte count, or kNoCount
};

constexpr std::size_t kNoCount = SIZE_MAX;

#define KHWSIM_FIELD(type, field, kind, count) {#field, offsetof(type, field), sizeof(type::field), kind, count}
#define KHWSIM_NUMBER(type, field) KHWSIM_FIELD(type, field, FieldKind::kNumber, kNoCount)
#define KHWSIM_MODE(type, field) KHWSIM_FIELD(type, field, FieldKind::kMode, kNoCount)

const ConfigField kConfigFields[] = {
    KHWSIM_NUMBER(KHWSIM_CONFIG, presence),
    KHWSIM_MODE(KHWSIM_CONFIG, presenceMode),
    KHWSIM_FIELD(KHWSIM_CONFIG, entry, FieldKind::kBytes, kNoCount),
    KHWSIM_NUMBER(KHWSIM_CONFIG, devfwCount),
};

const ConfigField kRuleFields[] = {
    KHWSIM_NUMBER(KHWSIM_RULE, serviceClass),
    KHWSIM_NUMBER(KHWSIM_RULE, function),
    KHWSIM_NUMBER(KHWSIM_RULE, version),
    KHWSIM_MODE(KHWSIM_RULE, mode),
    KHWSIM_NUMBER(KHWSIM_RULE, word1),
    KHWSIM_NUMBER(KHWSIM_RULE, word2),
    KHWSIM_NUMBER(KHWSIM_RULE, word3),
    KHWSIM_NUMBER(KHWSIM_RULE, word4),
    KHWSIM_NUMBER(KHWSIM_RULE, dataOffset),
    KHWSIM_FIELD(KHWSIM_RULE, data, FieldKind::kBytes, offsetof(KHWSIM_RULE, dataLength)),
};

#undef KHWSIM_MODE
#undef KHWSIM_NUMBER
#undef KHWSIM_FIELD

struct ModeName {
    const char* name;
    unsigned value;
};
const ModeName kModes[] = {{"reply", KHWSIM_REPLY}, {"fail", KHWSIM_FAIL}, {"short", KHWSIM_SHORT}};

void PutLittleEndian(std::uint8_t* at, std::size_t size, unsigned long long value) {
    for (std::size_t i = 0; i < size; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

bool ParseNumber(const ConfigField& field, const std::string& text, unsigned long long& value) {
    if (field.kind == FieldKind::kMode) {
        for (const ModeName& mode : kModes) {
            if (text == mode.name) {
                value = mode.value;
                return true;
            }
        }
    }
    if (text.empty()) return false;
    char* end = nullptr;
    value = strtoull(text.c_str(), &end, 0);
    return *end == 0 && (field.size >= sizeof value || value >> (8 * field.size) == 0);
}

// Writes one "name=value" into `record` by the fields of `table`.
template <std::size_t N>
bool SetField(const ConfigField (&table)[N], void* record, const std::string& name, const std::string& text,
              std::string& error) {
    auto* bytes = static_cast<std::uint8_t*>(record);
    for (const ConfigField& field : table) {
        if (name != field.name) continue;
        if (field.kind == FieldKind::kBytes) {
            std::vector<std::uint8_t> value;
            if (!Unhex(text, value) || value.size() > field.size) {
                error = name + " takes up to " + std::to_string(field.size) + " bytes in hex";
                return false;
            }
            std::memcpy(bytes + field.offset, value.data(), value.size());
            if (field.countOffset != kNoCount) PutLittleEndian(bytes + field.countOffset, 2, value.size());
            return true;
        }
        unsigned long long value = 0;
        if (!ParseNumber(field, text, value)) {
            error = name + " cannot take " + text;
            return false;
        }
        PutLittleEndian(bytes + field.offset, field.size, value);
        return true;
    }
    error = "no field " + name;
    return false;
}

// Fills `config` from its description; false, with the reason, for anything it
// cannot place.
bool DescribeConfig(const std::string& description, KHWSIM_CONFIG& config, std::string& error) {
    config = KHWSIM_CONFIG{};
    config.magic = KHWSIM_MAGIC;
    KHWSIM_RULE* rule = nullptr;
    for (const std::string& token : Split(description, ' ')) {
        if (token.empty()) continue;
        if (token == "rule") {
            if (config.ruleCount == KHWSIM_MAX_RULES) {
                error = "more than " + std::to_string(KHWSIM_MAX_RULES) + " rules";
                return false;
            }
            rule = &config.rules[config.ruleCount++];
            continue;
        }
        const std::size_t eq = token.find('=');
        if (eq == std::string::npos) {
            error = "no value in " + token;
            return false;
        }
        const std::string name = token.substr(0, eq), value = token.substr(eq + 1);
        const bool placed = rule ? SetField(kRuleFields, rule, name, value, error)
                                 : SetField(kConfigFields, &config, name, value, error);
        if (!placed) return false;
    }
    return true;
}

// --- driver steps -------------------------------------------------------------

void Configure(const std::string& description) {
    KHWSIM_CONFIG config;
    std::string reason;
    DWORD error = 0;
    bool ok = DescribeConfig(description, config, reason);
    if (ok) {
        cw::unique_file device(OpenDriver());
        DWORD returned = 0;
        ok = device && DeviceIoControl(device.get(), KHWSIM_CONFIGURE, &config, sizeof config, nullptr, 0,
                                       &returned, nullptr);
        if (!ok) {
            error = GetLastError();
            reason = "the driver did not take it";
        }
    }
    Line("config").Bool("ok", ok).Num("error", error).Str("reason", reason);
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
            EnumWindows(AnswerWindow, reinterpret_cast<LPARAM>(this));
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
        EnumChildWindows(window, AppendStaticText, reinterpret_cast<LPARAM>(&box));
        {
            std::lock_guard<std::mutex> lock(mutex_);
            boxes_.push_back(box);
        }
        SendMessageA(window, WM_COMMAND, IDOK, 0);
    }
    // Window enumeration callbacks are stdcall on i686, which a lambda cannot be.
    static BOOL CALLBACK AnswerWindow(HWND window, LPARAM self) {
        reinterpret_cast<BoxWatcher*>(self)->Answer(window);
        return TRUE;
    }
    static BOOL CALLBACK AppendStaticText(HWND child, LPARAM text) {
        char name[16] = {};
        GetClassNameA(child, name, sizeof name);
        if (_stricmp(name, "Static") == 0) *reinterpret_cast<std::string*>(text) += Text(child);
        return TRUE;
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

// --- calling exports as their types declare -----------------------------------

// Every export is called through its PFN_ type from hwlink.h, so the compiler
// passes the arguments and cleans the stack as the declared convention says. In a
// 32-bit build a callee with another convention leaves the stack pointer off by
// its argument bytes: it is read before and after the call into globals (whose
// addresses need no stack pointer), put back, and the difference reported; the
// scenario then fails. x86_64 has one convention, so there is nothing to compare.
#if defined(__i386__)
constexpr int kBits = 32;
volatile std::uintptr_t g_spBefore = 0;
volatile std::uintptr_t g_spAfter = 0;
volatile std::uint32_t g_result = 0;
int g_unbalancedCalls = 0;

template <typename Fn, typename... A>
__attribute__((noinline, optimize("no-defer-pop", "no-omit-frame-pointer"))) std::uint32_t Invoke(Fn fn,
                                                                                               A... args) {
    asm volatile("movl %%esp, %0" : "=m"(g_spBefore) : : "memory");
    if constexpr (std::is_void_v<decltype(fn(args...))>) {
        fn(args...);
        g_result = 0;
    } else {
        g_result = fn(args...);
    }
    asm volatile("movl %%esp, %0\n\tmovl %1, %%esp" : "=m"(g_spAfter) : "m"(g_spBefore) : "memory");
    if (g_spAfter != g_spBefore) ++g_unbalancedCalls;
    return g_result;
}
long StackDifference() { return static_cast<long>(g_spAfter - g_spBefore); }
#else
constexpr int kBits = 64;
int g_unbalancedCalls = 0;
template <typename Fn, typename... A>
std::uint32_t Invoke(Fn fn, A... args) {
    if constexpr (std::is_void_v<decltype(fn(args...))>) {
        fn(args...);
        return 0;
    } else {
        return fn(args...);
    }
}
long StackDifference() { return 0; }
#endif

// The arguments of one call step, after the export's name: numbers (0x.. allowed),
// "null", text, or hex bytes.
class Args {
public:
    explicit Args(std::vector<std::string> parts) : parts_(std::move(parts)) {}
    bool Null(std::size_t i) const { return i < parts_.size() && parts_[i] == "null"; }
    std::uint32_t Num(std::size_t i, std::uint32_t fallback = 0) const { return Number(parts_, i, fallback); }
    std::string Text(std::size_t i) const { return i < parts_.size() ? parts_[i] : std::string(); }
    // Text as bytes (its length without a terminator); null for "null".
    const void* Chars(std::size_t i) const { return Null(i) || i >= parts_.size() ? nullptr : parts_[i].c_str(); }
    std::uint32_t Length(std::size_t i) const {
        return static_cast<std::uint32_t>(Null(i) || i >= parts_.size() ? 0 : parts_[i].size());
    }
    std::vector<std::uint8_t> Hex(std::size_t i) const {
        std::vector<std::uint8_t> bytes;
        if (i < parts_.size()) Unhex(parts_[i], bytes);
        return bytes;
    }

private:
    std::vector<std::string> parts_;
};

// A caller's buffer of `size` bytes pre-filled with the untouched mark.
std::vector<std::uint8_t> Buffer(std::uint32_t size) { return std::vector<std::uint8_t>(size, kUnsetByte); }
std::string HexOf(const std::vector<std::uint8_t>& bytes) { return Hex(bytes.data(), bytes.size()); }
std::uint32_t SizeOf(const std::vector<std::uint8_t>& bytes) { return static_cast<std::uint32_t>(bytes.size()); }

void Words(Line& line, const std::uint16_t* w, int count) {
    static const char* names[] = {"s1", "s2", "s3", "s4"};
    for (int i = 0; i < count; ++i) line.Num(names[i], w[i]);
}

// UTF-16LE of ASCII text, with its terminator, and back.
std::vector<std::uint16_t> Wide(const std::string& text) {
    std::vector<std::uint16_t> wide(text.begin(), text.end());
    wide.push_back(0);
    return wide;
}
std::string Narrow(const std::uint16_t* text, std::size_t bytes) {
    std::string out;
    for (std::size_t i = 0; text && i + 2 <= bytes && text[i / 2]; i += 2) out += static_cast<char>(text[i / 2]);
    return out;
}

std::vector<std::uint8_t> Guid(const std::string& hex) {
    std::vector<std::uint8_t> guid;
    Unhex(hex, guid);
    guid.resize(16);
    return guid;
}

// NVRAM names "name:guid;name:guid", GUIDs in hex.
struct NameList {
    std::vector<std::vector<std::uint16_t>> names;
    std::vector<const std::uint16_t*> pointers;
    std::vector<std::uint8_t> guids;
    explicit NameList(const std::string& text) {
        for (const std::string& item : Split(text, ';')) {
            if (item.empty()) continue;
            const std::vector<std::string> parts = Split(item, ':');
            names.push_back(Wide(parts[0]));
            const std::vector<std::uint8_t> guid = Guid(parts.size() > 1 ? parts[1] : "");
            guids.insert(guids.end(), guid.begin(), guid.end());
        }
        for (const auto& n : names) pointers.push_back(n.data());
    }
    std::uint32_t Count() const { return static_cast<std::uint32_t>(names.size()); }
};

// NVRAM entries "name:guid:attributes:data;...", GUIDs and data in hex.
struct EntryList {
    std::vector<std::vector<std::uint16_t>> names;
    std::vector<std::vector<std::uint8_t>> data;
    std::vector<NvramEntry> entries;
    explicit EntryList(const std::string& text) {
        for (const std::string& item : Split(text, ';')) {
            if (item.empty()) continue;
            const std::vector<std::string> parts = Split(item, ':');
            NvramEntry e = {};
            const std::vector<std::uint8_t> guid = Guid(parts.size() > 1 ? parts[1] : "");
            std::memcpy(e.guid, guid.data(), sizeof e.guid);
            e.attributes = Number(parts, 2, 0);
            names.push_back(Wide(parts[0]));
            data.emplace_back();
            if (parts.size() > 3) Unhex(parts[3], data.back());
            e.nameSize = names.back().size() * 2;
            e.dataSize = data.back().size();
            entries.push_back(e);
        }
        for (std::size_t i = 0; i < entries.size(); ++i) {
            entries[i].name = names[i].data();
            entries[i].data = data[i].empty() ? nullptr : data[i].data();
        }
    }
    std::uint32_t Count() const { return static_cast<std::uint32_t>(entries.size()); }
};

// The header record of a set: type 1, or type 2 with the two extra words 0xB1 and
// 0xB2; the fixed fields count up from 0x80.
std::vector<std::uint8_t> SetHeaderRecord(bool type2) {
    std::vector<std::uint8_t> record(type2 ? 52 : sizeof(NvramHeader), 0);
    record[0] = type2 ? 48 : 32;
    record[2] = type2 ? 2 : 1;
    for (std::size_t i = 0; i < 36; ++i) record[4 + i] = static_cast<std::uint8_t>(0x80 + i);
    if (type2) {
        record[40] = 2;
        record[44] = 0xB1;
        record[48] = 0xB2;
    }
    return record;
}

std::string EntriesJson(const NvramEntry* entries, std::uint32_t count) {
    std::string out = "[";
    for (std::uint32_t i = 0; entries && i < count; ++i) {
        const NvramEntry& e = entries[i];
        out += std::string(i ? "," : "") + "{\"guid\":" + Quote(Hex(e.guid, sizeof e.guid)) +
               ",\"attributes\":" + std::to_string(e.attributes) +
               ",\"name\":" + Quote(Narrow(e.name, static_cast<std::size_t>(e.nameSize))) +
               ",\"data\":" + Quote(Hex(e.data, static_cast<std::size_t>(e.dataSize))) + "}";
    }
    return out + "]";
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

void* Bind(const std::string& name) {
    if (!g_library && !(g_library = LoadLibraryA(g_libraryPath))) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(g_library, name.c_str()));
}

template <typename Fn>
Fn Bound(const char* name) {
    return reinterpret_cast<Fn>(Bind(name));
}

bool Starts(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// The groups of exports; each calls `proc` as its type says and reports the
// outputs. Returns false when it does not know the name.
#define AS(export_name) reinterpret_cast<PFN_##export_name>(proc)

bool CallFrame(const std::string& name, const Args& a, void* proc, Line& line, std::uint32_t& status) {
    if (name == "KernelDrv_Install") {
        status = Invoke(AS(KernelDrv_Install));
    } else if (name == "KernelDrv_UnInstall") {
        status = Invoke(AS(KernelDrv_UnInstall));
    } else if (name == "KernelDrv_Install_Test") {
        status = Invoke(AS(KernelDrv_Install_Test), static_cast<const char*>(a.Chars(0)), a.Num(1, 3));
    } else if (name == "KernelDrv_UnInstall_Test") {
        status = Invoke(AS(KernelDrv_UnInstall_Test), static_cast<const char*>(a.Chars(0)));
    } else if (name == "GetDriverVersion") {
        std::uint32_t first = kUnset32, second = kUnset32;
        status = Invoke(AS(GetDriverVersion), &first, &second);
        line.Num("first", first).Num("second", second);
    } else if (name == "CheckGABI") {
        std::uint32_t flag = kUnset32;
        status = Invoke(AS(CheckGABI), a.Null(0) ? nullptr : &flag);
        line.Num("flag", flag);
    } else if (name == "GetGABIEntry") {
        std::vector<std::uint8_t> buffer = Buffer(a.Num(0, 256));
        status = Invoke(AS(GetGABIEntry), static_cast<void*>(buffer.data()), SizeOf(buffer));
        line.Str("data", HexOf(buffer));
    } else if (name == "CallGABIService") {
        CallerBlocks b(1024, 512, 64, 0x8001, 3);
        const CallerBlocks before = b;
        status = Invoke(AS(CallGABIService), static_cast<void*>(b.input.data()), static_cast<void*>(b.output.data()),
                        a.Null(0) ? nullptr : static_cast<void*>(b.control.data()));
        line.Bool("unchanged", b.control == before.control && b.input == before.input && b.output == before.output)
            .Num("s1", Word(b.control, 6)).Num("s2", Word(b.control, 8)).Str("output", HexOf(b.output));
    } else if (name == "CallGABIService_SingleBuf") {
        // One GabiFrame of small blocks, as a caller would lay it out itself.
        CallerBlocks b(16, 8, 8, 0x8001, 3);
        std::vector<std::uint8_t> frame = {16, 0, 8, 0, 8, 0};
        frame.insert(frame.end(), b.control.begin(), b.control.end());
        frame.insert(frame.end(), b.input.begin(), b.input.end());
        frame.insert(frame.end(), b.output.begin(), b.output.end());
        status = Invoke(AS(CallGABIService_SingleBuf), a.Num(0, 0x22E096), static_cast<void*>(frame.data()),
                        SizeOf(frame));
        line.Str("data", HexOf(frame));
    } else if (name == "CallGABIService_4buf") {
        CallerBlocks b(16, 8, 8, 0x8000, 4);
        std::vector<std::uint8_t> extra = Buffer(a.Num(1, 8));
        status = Invoke(AS(CallGABIService_4buf), a.Num(0, 0x22E09A), static_cast<void*>(b.input.data()),
                        static_cast<void*>(b.output.data()), static_cast<void*>(b.control.data()),
                        a.Null(2) ? nullptr : static_cast<void*>(extra.data()), SizeOf(extra));
        line.Num("s1", Word(b.control, 6)).Num("s2", Word(b.control, 8)).Str("extra", HexOf(extra));
    } else if (name == "_CallServiceInterface") {
        std::vector<std::uint8_t> reply = Buffer(35), control = Buffer(1024);
        status = Invoke(AS(_CallServiceInterface), a.Num(0, 0x8001), static_cast<void*>(reply.data()),
                        static_cast<void*>(control.data()));
        line.Str("reply", HexOf(reply)).Str("control", Hex(control.data(), 16));
    } else if (name == "_CallEnter" || name == "_CallExit") {
        const bool enter = name == "_CallEnter";
        const std::size_t base = enter ? 1 : 2;
        std::vector<std::uint8_t> control = Buffer(a.Num(base, 1024)), input = Buffer(a.Num(base + 1, 512)),
                                  output = Buffer(a.Num(base + 2, 64));
        if (enter)
            status = Invoke(AS(_CallEnter), a.Num(0, 0x8001), static_cast<void*>(input.data()), SizeOf(input),
                            static_cast<void*>(output.data()), SizeOf(output), static_cast<void*>(control.data()),
                            SizeOf(control));
        else
            status = Invoke(AS(_CallExit), a.Num(0, 0x8001), a.Num(1, 0), static_cast<void*>(input.data()),
                            SizeOf(input), static_cast<void*>(output.data()), SizeOf(output),
                            static_cast<void*>(control.data()), SizeOf(control));
        std::uint32_t handle = 0;
        if (output.size() >= 8) std::memcpy(&handle, output.data() + 4, 4);
        line.Num("handle", handle).Num("s1", Word(control, 6)).Num("s2", Word(control, 8))
            .Str("control", Hex(control.data(), control.size() < 16 ? control.size() : 16));
    } else {
        return false;
    }
    return true;
}

// Tables, ports and memory. A length "null" passes a null buffer (a size query).
bool CallTables(const std::string& name, const Args& a, void* proc, Line& line, std::uint32_t& status) {
    if (name == "GetSMBIOSHeader" || name == "GetNBEStruct") {
        std::vector<std::uint8_t> buffer = Buffer(a.Num(0, 32));
        void* target = a.Null(0) ? nullptr : buffer.data();
        status = name == "GetNBEStruct" ? Invoke(AS(GetNBEStruct), target, SizeOf(buffer))
                                        : Invoke(AS(GetSMBIOSHeader), target, SizeOf(buffer));
        line.Str("data", HexOf(buffer));
    } else if (name == "GetSMBIOSTable" || name == "GetSMBIOSStruct" || name == "GetOEMStruct") {
        // GetSMBIOSTable|length, GetSMBIOSStruct|type|length, GetOEMStruct|id|key1|key2|length
        const std::size_t at = name == "GetSMBIOSTable" ? 0 : name == "GetSMBIOSStruct" ? 1 : 3;
        std::vector<std::uint8_t> buffer = Buffer(a.Null(at) ? 0 : a.Num(at, 256));
        void* target = a.Null(at) ? nullptr : buffer.data();
        std::uint32_t returned = kUnset32;
        if (at == 0)
            status = Invoke(AS(GetSMBIOSTable), target, SizeOf(buffer), &returned);
        else if (at == 1)
            status = Invoke(AS(GetSMBIOSStruct), a.Num(0), target, SizeOf(buffer), &returned);
        else
            status = Invoke(AS(GetOEMStruct), a.Num(0), a.Num(1), a.Num(2), target, SizeOf(buffer), &returned);
        line.Num("length", returned).Str("data", HexOf(buffer));
    } else if (name == "HWLINK_ReadPort") {  // port|width
        std::uint32_t value = kUnset32;
        status = Invoke(AS(HWLINK_ReadPort), a.Num(0), a.Num(1, 1), &value);
        line.Num("value", value);
    } else if (name == "HWLINK_WritePort") {  // port|width|value
        status = Invoke(AS(HWLINK_WritePort), a.Num(0), a.Num(1, 1), a.Num(2));
    } else if (name == "HWLINK_ReadMemory") {  // address1|address2|length
        std::vector<std::uint8_t> buffer = Buffer(a.Num(2, 16));
        status = Invoke(AS(HWLINK_ReadMemory), a.Num(0), a.Num(1), static_cast<void*>(buffer.data()), SizeOf(buffer));
        line.Str("data", HexOf(buffer));
    } else {
        return false;
    }
    return true;
}

bool CallNvmisc(const std::string& name, const Args& a, void* proc, Line& line, std::uint32_t& status,
                std::uint16_t* w, int& words) {
    words = 3;
    if (name == "GABI_NVMISC_GetSystemInfo") {  // |null: null status outputs
        std::uint8_t record[sizeof(NvmiscSystemInfo)];
        std::memset(record, kUnsetByte, sizeof record);
        const bool nullWords = a.Null(0);
        status = Invoke(AS(GABI_NVMISC_GetSystemInfo), reinterpret_cast<NvmiscSystemInfo*>(record),
                        nullWords ? nullptr : &w[0], nullWords ? nullptr : &w[1], nullWords ? nullptr : &w[2]);
        line.Str("record", Hex(record, sizeof record));
    } else if (name == "GABI_NVMISC_SetMessageIndicator") {
        status = Invoke(AS(GABI_NVMISC_SetMessageIndicator), a.Num(0), &w[0], &w[1], &w[2]);
    } else if (name == "GABI_NVMISC_GetWakeupOnRTC") {
        std::uint8_t record[sizeof(NvmiscWakeupRecord)];
        std::memset(record, kUnsetByte, sizeof record);
        status = Invoke(AS(GABI_NVMISC_GetWakeupOnRTC), reinterpret_cast<NvmiscWakeupRecord*>(record), &w[0], &w[1],
                        &w[2]);
        line.Str("record", Hex(record, sizeof record));
    } else if (name == "GABI_NVMISC_SetWakeupOnRTC") {  // the 8-byte record in hex
        std::vector<std::uint8_t> setting = a.Hex(0);
        setting.resize(sizeof(NvmiscWakeupSetting));
        status = Invoke(AS(GABI_NVMISC_SetWakeupOnRTC), reinterpret_cast<const NvmiscWakeupSetting*>(setting.data()),
                        &w[0], &w[1], &w[2]);
    } else if (name == "GABI_NVMISC_GetBspfInfo" || name == "GABI_NVMISC_GetBspfInfo_V2") {
        std::uint8_t info[8];
        std::memset(info, kUnsetByte, sizeof info);
        status = name == "GABI_NVMISC_GetBspfInfo" ? Invoke(AS(GABI_NVMISC_GetBspfInfo), info, &w[0], &w[1])
                                                   : Invoke(AS(GABI_NVMISC_GetBspfInfo_V2), info, &w[0], &w[1]);
        line.Str("info", Hex(info, sizeof info));
        words = 2;
    } else if (name == "GABI_NVMISC_SetBspfCommand") {  // length: bytes 0, 1, 2, ...
        std::vector<std::uint8_t> data(a.Num(0, 16));
        for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i);
        status = Invoke(AS(GABI_NVMISC_SetBspfCommand), static_cast<const void*>(data.data()), SizeOf(data), &w[0],
                        &w[1]);
        words = 2;
    } else {
        return false;
    }
    return true;
}

// NVRAM: kind|credential|first word|names for a get (the blocks it returns are
// read, then released); kind|credential|first|second|names|entries[|null] for a
// set (null: no header record).
bool CallNvram(const std::string& name, const Args& a, void* proc, Line& line, std::uint32_t& status,
               std::uint16_t* w, int& words) {
    words = 3;
    const auto release = Bound<PFN_GABI_NVRAMAPI_FreeMemory>("GABI_NVRAMAPI_FreeMemory");
    if (name == "GABI_NVRAMAPI_GetNvramData" || name == "GABI_NVRAMAPI_GetNvramData_V2") {
        const NameList names(a.Text(3));
        std::uint16_t headerWord = kUnset16;
        std::vector<std::uint8_t> header = Buffer(HWLINK_NVRAM_HEADER1_SIZE);
        NvramHeader* allocated = nullptr;
        NvramEntry* entries = nullptr;
        std::uint32_t count = kUnset32;
        if (name == "GABI_NVRAMAPI_GetNvramData")
            status = Invoke(AS(GABI_NVRAMAPI_GetNvramData), a.Num(0), a.Chars(1), a.Length(1), a.Num(2),
                            names.pointers.data(), names.guids.data(), names.Count(), &headerWord,
                            reinterpret_cast<NvramHeader*>(header.data()), &entries, &count, &w[0], &w[1], &w[2]);
        else
            status = Invoke(AS(GABI_NVRAMAPI_GetNvramData_V2), a.Num(0), a.Chars(1), a.Length(1), a.Num(2),
                            names.pointers.data(), names.guids.data(), names.Count(), &headerWord, &allocated,
                            &entries, &count, &w[0], &w[1], &w[2]);
        if (allocated) {
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(allocated);
            header.assign(bytes, bytes + 48 + 4 * allocated->extraCount);
        }
        line.Num("header_word", headerWord).Str("header", HexOf(header)).Num("count", count)
            .Raw("entries", EntriesJson(entries, count == kUnset32 ? 0 : count));
        if (entries) Invoke(release, static_cast<void*>(entries));
        if (allocated) Invoke(release, static_cast<void*>(allocated));
    } else if (name == "GABI_NVRAMAPI_SetNvramData" || name == "GABI_NVRAMAPI_SetNvramData_V2") {
        const bool v2 = name == "GABI_NVRAMAPI_SetNvramData_V2";
        const NameList names(a.Text(4));
        const EntryList entries(a.Text(5));
        const std::vector<std::uint8_t> record = SetHeaderRecord(v2);
        const auto* header = a.Null(6) ? nullptr : reinterpret_cast<const NvramHeader*>(record.data());
        status = Invoke(v2 ? AS(GABI_NVRAMAPI_SetNvramData_V2) : AS(GABI_NVRAMAPI_SetNvramData), a.Num(0),
                        a.Chars(1), a.Length(1), a.Num(2), a.Num(3), header, names.pointers.data(),
                        names.guids.data(), names.Count(), entries.entries.data(), entries.Count(), &w[0], &w[1],
                        &w[2]);
    } else if (name == "GABI_NVRAMAPI_FreeMemory" || name == "GABI_DevFwUpdate_FreeMemory") {
        // One function under two names; null is nothing to release.
        Invoke(AS(GABI_NVRAMAPI_FreeMemory), static_cast<void*>(nullptr));
        status = 0;
        words = 0;
        line.Bool("same_function", Bind("GABI_NVRAMAPI_FreeMemory") == Bind("GABI_DevFwUpdate_FreeMemory"));
    } else {
        return false;
    }
    return true;
}

// Setup services. The arguments follow each export's own order; credentials,
// passwords and strings are text, data is hex, buffer lengths are numbers.
bool CallSetup(const std::string& name, const Args& a, void* proc, Line& line, std::uint32_t& status,
               std::uint16_t* w) {
    std::uint16_t* const s1 = &w[0];
    std::uint16_t* const s2 = &w[1];
    std::uint16_t* const s3 = &w[2];
    std::uint16_t* const s4 = &w[3];
    const bool v2 = name.size() > 3 && name.compare(name.size() - 3, 3, "_V2") == 0;
    if (name == "GABI_SAPI_GetBIOSSetupItem" || name == "GABI_SAPI_GetBIOSSetupItem_V2") {
        // item|kind|[mode|]credential|length
        const std::size_t c = v2 ? 3 : 2;
        std::uint16_t out[4] = {kUnset16, kUnset16, kUnset16, kUnset16};
        std::uint32_t word16 = kUnset32;
        std::vector<std::uint8_t> buffer = Buffer(a.Num(c + 1, 16));
        if (v2)
            status = Invoke(AS(GABI_SAPI_GetBIOSSetupItem_V2), a.Num(0), a.Num(1), a.Num(2), a.Chars(c), a.Length(c),
                            &out[0], &out[1], &out[2], &out[3], &word16, static_cast<void*>(buffer.data()),
                            SizeOf(buffer), s1, s2, s3, s4);
        else
            status = Invoke(AS(GABI_SAPI_GetBIOSSetupItem), a.Num(0), a.Num(1), a.Chars(c), a.Length(c), &out[0],
                            &out[1], &out[2], &out[3], &word16, static_cast<void*>(buffer.data()), SizeOf(buffer),
                            s1, s2, s3, s4);
        line.Num("word8", out[0]).Num("word10", out[1]).Num("word12", out[2]).Num("word14", out[3])
            .Num("word16", word16).Str("data", HexOf(buffer));
    } else if (Starts(name, "GABI_SAPI_SetBIOSSetupItem") || Starts(name, "GABI_SAPI_SetBootOrder")) {
        // item or selector|second|hex data|kind|[mode|]credential
        const std::size_t c = v2 ? 5 : 4;
        const std::vector<std::uint8_t> data = a.Hex(2);
        const void* bytes = data.empty() ? nullptr : data.data();
        if (name == "GABI_SAPI_SetBIOSSetupItem_V2")
            status = Invoke(AS(GABI_SAPI_SetBIOSSetupItem_V2), a.Num(0), a.Num(1), bytes, SizeOf(data), a.Num(3),
                            a.Num(4), a.Chars(c), a.Length(c), s1, s2, s3, s4);
        else if (name == "GABI_SAPI_SetBIOSSetupItem")
            status = Invoke(AS(GABI_SAPI_SetBIOSSetupItem), a.Num(0), a.Num(1), bytes, SizeOf(data), a.Num(3),
                            a.Chars(c), a.Length(c), s1, s2, s3, s4);
        else if (v2)
            status = Invoke(AS(GABI_SAPI_SetBootOrder_V2), a.Num(0), a.Num(1), bytes, SizeOf(data), a.Num(3), a.Num(4),
                            a.Chars(c), a.Length(c), s1, s2, s3, s4);
        else
            status = Invoke(AS(GABI_SAPI_SetBootOrder), a.Num(0), a.Num(1), bytes, SizeOf(data), a.Num(3), a.Chars(c),
                            a.Length(c), s1, s2, s3, s4);
    } else if (name == "GABI_SAPI_GetBootOrder" || name == "GABI_SAPI_GetBootOrder_V2") {
        // selector|kind|[mode|]credential|length
        const std::size_t c = v2 ? 3 : 2;
        std::uint16_t word8 = kUnset16, word10 = kUnset16;
        std::vector<std::uint8_t> buffer = Buffer(a.Num(c + 1, 16));
        if (v2)
            status = Invoke(AS(GABI_SAPI_GetBootOrder_V2), a.Num(0), a.Num(1), a.Num(2), a.Chars(c), a.Length(c),
                            static_cast<void*>(buffer.data()), SizeOf(buffer), &word8, &word10, s1, s2, s3, s4);
        else
            status = Invoke(AS(GABI_SAPI_GetBootOrder), a.Num(0), a.Num(1), a.Chars(c), a.Length(c),
                            static_cast<void*>(buffer.data()), SizeOf(buffer), &word8, &word10, s1, s2, s3, s4);
        line.Num("word8", word8).Num("word10", word10).Str("data", HexOf(buffer));
    } else if (Starts(name, "GABI_SAPI_GetDefaultValuesProperty")) {  // kind|[mode|]credential
        const std::size_t c = v2 ? 2 : 1;
        std::uint16_t word8 = kUnset16, word10 = kUnset16;
        if (v2)
            status = Invoke(AS(GABI_SAPI_GetDefaultValuesProperty_V2), a.Num(0), a.Num(1), a.Chars(c), a.Length(c),
                            &word8, &word10, s1, s2, s3, s4);
        else
            status = Invoke(AS(GABI_SAPI_GetDefaultValuesProperty), a.Num(0), a.Chars(c), a.Length(c), &word8,
                            &word10, s1, s2, s3, s4);
        line.Num("word8", word8).Num("word10", word10);
    } else if (Starts(name, "GABI_SAPI_SetDefaultValuesProperty")) {  // value|kind|[mode|]credential
        const std::size_t c = v2 ? 3 : 2;
        if (v2)
            status = Invoke(AS(GABI_SAPI_SetDefaultValuesProperty_V2), a.Num(0), a.Num(1), a.Num(2), a.Chars(c),
                            a.Length(c), s1, s2, s3, s4);
        else
            status = Invoke(AS(GABI_SAPI_SetDefaultValuesProperty), a.Num(0), a.Num(1), a.Chars(c), a.Length(c), s1,
                            s2, s3, s4);
    } else if (Starts(name, "GABI_SAPI_GetPasswordProperty")) {
        std::vector<std::uint8_t> buffer;
        if (name == "GABI_SAPI_GetPasswordProperty_V3") {  // kind|password kind|selector|mode|credential|length
            buffer = Buffer(a.Num(5, 8));
            status = Invoke(AS(GABI_SAPI_GetPasswordProperty_V3), a.Num(0), a.Num(1), a.Num(2), a.Num(3), a.Chars(4),
                            a.Length(4), static_cast<void*>(buffer.data()), SizeOf(buffer), s1, s2, s3, s4);
        } else if (name == "GABI_SAPI_GetPasswordPropertyEx") {  // kind|password kind|credential|length
            buffer = Buffer(a.Num(3, 8));
            status = Invoke(AS(GABI_SAPI_GetPasswordPropertyEx), a.Num(0), a.Num(1), a.Chars(2), a.Length(2),
                            static_cast<void*>(buffer.data()), SizeOf(buffer), s1, s2, s3, s4);
        } else {  // kind|credential|length
            buffer = Buffer(a.Num(2, 8));
            status = Invoke(AS(GABI_SAPI_GetPasswordProperty), a.Num(0), a.Chars(1), a.Length(1),
                            static_cast<void*>(buffer.data()), SizeOf(buffer), s1, s2, s3, s4);
        }
        line.Str("data", HexOf(buffer));
    } else if (name == "GABI_SAPI_SetPassword_V3") {
        // kind|mode|credential|password kind|second|third|set mode|first|new
        status = Invoke(AS(GABI_SAPI_SetPassword_V3), a.Num(0), a.Num(1), a.Length(2), a.Chars(2), a.Num(3), a.Num(4),
                        a.Num(5), a.Num(6), a.Length(7), a.Chars(7), a.Length(8), a.Chars(8), s1, s2, s3, s4);
    } else if (name == "GABI_SAPI_SetPassword2") {  // kind|credential|password kind|second|first|new
        status = Invoke(AS(GABI_SAPI_SetPassword2), a.Num(0), a.Length(1), a.Chars(1), a.Num(2), a.Num(3), a.Length(4),
                        a.Chars(4), a.Length(5), a.Chars(5), s1, s2, s3, s4);
    } else if (name == "GABI_SAPI_SetPassword") {  // kind|password kind|second|current|new
        status = Invoke(AS(GABI_SAPI_SetPassword), a.Num(0), a.Num(1), a.Num(2), a.Length(3), a.Chars(3), a.Length(4),
                        a.Chars(4), s1, s2, s3, s4);
    } else {
        return false;
    }
    return true;
}

// System data: selector1|selector2 for information, |length (or null) for a
// read, |hex data for a write; index|length for an enumeration.
bool CallSystemData(const std::string& name, const Args& a, void* proc, Line& line, std::uint32_t& status,
                    std::uint16_t* w, int& words) {
    const bool alias = Starts(name, "GABI_SDA2_") && name.size() > 8 && name.compare(name.size() - 8, 8, "_SCC0005") == 0;
    words = Starts(name, "GABI_SDA2_") ? 3 : 0;
    if (Starts(name, "GABI_SDA_GetSystemDataInfo") || Starts(name, "GABI_SDA2_GetSystemDataInfo")) {
        std::uint32_t info[4] = {kUnset32, kUnset32, kUnset32, kUnset32};
        if (!words)
            status = Invoke(AS(GABI_SDA_GetSystemDataInfo), a.Num(0), a.Num(1), &info[0], &info[1], &info[2],
                            &info[3]);
        else
            status = Invoke(alias ? AS(GABI_SDA2_GetSystemDataInfo_SCC0005) : AS(GABI_SDA2_GetSystemDataInfo),
                            a.Num(0), a.Num(1), &info[0], &info[1], &info[2], &info[3], &w[0], &w[1], &w[2]);
        line.Raw("info", "[" + std::to_string(info[0]) + "," + std::to_string(info[1]) + "," +
                             std::to_string(info[2]) + "," + std::to_string(info[3]) + "]");
    } else if (Starts(name, "GABI_SDA_ReadSystemData") || Starts(name, "GABI_SDA2_ReadSystemData")) {
        std::vector<std::uint8_t> buffer = Buffer(a.Null(2) ? 0 : a.Num(2, 16));
        void* target = a.Null(2) ? nullptr : buffer.data();
        if (!words)
            status = Invoke(AS(GABI_SDA_ReadSystemData), a.Num(0), a.Num(1), target, SizeOf(buffer));
        else
            status = Invoke(alias ? AS(GABI_SDA2_ReadSystemData_SCC0005) : AS(GABI_SDA2_ReadSystemData), a.Num(0),
                            a.Num(1), target, SizeOf(buffer), &w[0], &w[1], &w[2]);
        line.Str("data", HexOf(buffer));
    } else if (Starts(name, "GABI_SDA_WriteSystemData") || Starts(name, "GABI_SDA2_WriteSystemData")) {
        const std::vector<std::uint8_t> data = a.Hex(2);
        const void* bytes = data.empty() ? nullptr : data.data();
        if (!words)
            status = Invoke(AS(GABI_SDA_WriteSystemData), a.Num(0), a.Num(1), bytes, SizeOf(data));
        else
            status = Invoke(alias ? AS(GABI_SDA2_WriteSystemData_SCC0005) : AS(GABI_SDA2_WriteSystemData), a.Num(0),
                            a.Num(1), bytes, SizeOf(data), &w[0], &w[1], &w[2]);
    } else if (Starts(name, "GABI_SDA2_EnumSystemData")) {
        std::vector<std::uint8_t> buffer = Buffer(a.Num(1, 16));
        status = Invoke(alias ? AS(GABI_SDA2_EnumSystemData_SCC0005) : AS(GABI_SDA2_EnumSystemData), a.Num(0),
                        static_cast<void*>(buffer.data()), SizeOf(buffer), &w[0], &w[1], &w[2]);
        line.Str("data", HexOf(buffer));
    } else {
        return false;
    }
    return true;
}

// Device firmware: the records come back as hex, 40 bytes each, and are released.
bool CallDeviceFirmware(const std::string& name, void* proc, Line& line, std::uint32_t& status, std::uint16_t* w) {
    const bool stored = name == "GABI_DevFwUpdate_GetDeviceFirmwareInfo";
    if (!stored && name != "GABI_DevFwUpdate_GetDeviceFirmwareRuntimeInfo") return false;
    std::uint32_t value = kUnset32;
    std::uint16_t count = kUnset16;
    DeviceFirmwareRecord* records = nullptr;
    status = Invoke(stored ? AS(GABI_DevFwUpdate_GetDeviceFirmwareInfo) : AS(GABI_DevFwUpdate_GetDeviceFirmwareRuntimeInfo),
                    &value, &count, &records, &w[0], &w[1], &w[2]);
    std::string list = "[";
    for (std::uint16_t i = 0; records && i < count; ++i)
        list += std::string(i ? "," : "") + Quote(Hex(&records[i], sizeof records[i]));
    line.Num("value", value).Num("count", count).Raw("records", list + "]");
    if (records)
        Invoke(Bound<PFN_GABI_DevFwUpdate_FreeMemory>("GABI_DevFwUpdate_FreeMemory"), static_cast<void*>(records));
    return true;
}

#undef AS

// call=<export>[|arg...]: one export call. Returns false when a call left the
// stack pointer elsewhere than its type says, which ends the run.
bool Call(const std::string& step) {
    std::vector<std::string> parts = Split(step, '|');
    const std::string name = parts[0];
    parts.erase(parts.begin());
    const Args a(parts);
    Line line("call");
    line.Str("name", name);
    void* proc = Bind(name);
    if (!proc) {
        line.Bool("bound", false).Num("error", GetLastError());
        return true;
    }
    BoxWatcher boxes;
    std::uint16_t w[4] = {kUnset16, kUnset16, kUnset16, kUnset16};
    std::uint32_t status = kUnset32;
    int words = 0;
    // A step may make several calls (a get and the release of its blocks).
    g_unbalancedCalls = 0;
    bool known = CallFrame(name, a, proc, line, status) || CallTables(name, a, proc, line, status) ||
                 CallNvmisc(name, a, proc, line, status, w, words) || CallNvram(name, a, proc, line, status, w, words);
    if (!known && (known = CallSetup(name, a, proc, line, status, w))) words = 4;
    if (!known) known = CallSystemData(name, a, proc, line, status, w, words);
    if (!known && (known = CallDeviceFirmware(name, proc, line, status, w))) words = 3;
    if (!known) {
        line.Bool("known", false);
        return true;
    }
    const bool balanced = g_unbalancedCalls == 0;
    Words(line, w, words);
    line.Num("status", status).Raw("boxes", boxes.Json()).Bool("balanced", balanced);
    return balanced;
}

// mismatch: shows that this build's stack check works. Calls two exports through
// a type of the other convention (a C-convention export as standard call, a
// standard-call export as C convention) with arguments they refuse at once, and
// reports how far each left the stack pointer.
void Mismatch() {
    using WritePortAsStdcall = std::uint32_t(HWLINK_STDCALL*)(std::uint32_t, std::uint32_t, std::uint32_t);
    using NbeAsCdecl = std::uint32_t(HWLINK_CDECL*)(void*, std::uint32_t);
    Line line("mismatch");
    line.Num("bits", kBits);
    const std::uint32_t first = Invoke(Bound<WritePortAsStdcall>("HWLINK_WritePort"), 0x80u, 3u, 0u);
    const long firstDifference = StackDifference();
    const std::uint32_t second = Invoke(Bound<NbeAsCdecl>("GetNBEStruct"), static_cast<void*>(nullptr), 0u);
    const long secondDifference = StackDifference();
    line.Num("first_status", first).Raw("first", std::to_string(firstDifference))
        .Num("second_status", second).Raw("second", std::to_string(secondDifference));
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
    int code = 0;
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
            if (!Call(value)) {
                code = 3;
                break;
            }
        } else if (key == "mismatch") {
            Mismatch();
        } else {
            Line("unknown").Str("text", step);
        }
    }
    if (g_library) FreeLibrary(g_library);
    fclose(g_results);
    return code;
}
