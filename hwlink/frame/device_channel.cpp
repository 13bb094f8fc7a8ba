#include "hwlink/frame/device_channel.h"

namespace hwlink {

namespace {

// No locks: one call at a time per process is the rule this handle enforces. It
// is closed while g_open is false; both start zero, so loading sets nothing.
HANDLE g_device = nullptr;
bool g_open = false;

HANDLE SystemOpen(const char* path) {
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

BOOL SystemControl(HANDLE device, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                   DWORD* returned) {
    return DeviceIoControl(device, code, in, inSize, out, outSize, returned, nullptr);
}

BOOL SystemClose(HANDLE device) { return CloseHandle(device); }

constexpr DeviceCalls kSystemCalls = {SystemOpen, SystemControl, SystemClose};
const DeviceCalls* g_calls = &kSystemCalls;

}  // namespace

const DeviceCalls* UseDeviceCalls(const DeviceCalls* calls) {
    const DeviceCalls* previous = g_calls;
    g_calls = calls ? calls : &kSystemCalls;
    return previous;
}

bool ChannelIsOpen() { return g_open; }

void ReleaseChannel() {
    if (g_open && g_calls->close(g_device)) g_open = false;
}

Channel::~Channel() { CloseQuietly(); }

Status Channel::Open() {
    if (g_open) return status::kChannelBusy;
    const HANDLE device = g_calls->open(kDevicePath);
    if (device == INVALID_HANDLE_VALUE) return status::kDeviceUnavailable;
    g_device = device;
    g_open = true;
    owner_ = true;
    return status::kOk;
}

Status Channel::Control(std::uint32_t code, void* in, std::uint32_t inSize, void* out, std::uint32_t outSize,
                        std::uint32_t& returned) {
    DWORD count = 0;
    const BOOL ok = owner_ && g_calls->control(g_device, code, in, inSize, out, outSize, &count);
    returned = count;
    return ok ? status::kOk : status::kRequestFailed;
}

Status Channel::Finish(Status result) {
    if (!owner_) return result;
    if (result != status::kOk) {
        CloseQuietly();
        return result;
    }
    owner_ = false;
    if (!g_calls->close(g_device)) return status::kCloseFailed;
    g_open = false;
    return status::kOk;
}

void Channel::CloseQuietly() {
    if (!owner_) return;
    owner_ = false;
    const DWORD saved = GetLastError();
    if (g_calls->close(g_device)) g_open = false;
    SetLastError(saved);
}

}  // namespace hwlink
