// Files for the unit tests: a fresh scratch folder per test (removed with
// everything in it afterwards), and whole files written and read back as bytes,
// 8-bit text or UTF-16LE text.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace test_support {

class ScratchDir {
public:
    ScratchDir() {
        static LONG counter = 0;
        wchar_t temp[MAX_PATH];
        const DWORD length = GetTempPathW(MAX_PATH, temp);
        if (length == 0 || length > MAX_PATH) return;
        wchar_t name[64];
        wsprintfW(name, L"fxtest-%lu-%ld", GetCurrentProcessId(), InterlockedIncrement(&counter));
        path_ = std::wstring(temp) + name;
        if (!CreateDirectoryW(path_.c_str(), nullptr)) path_.clear();
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    ~ScratchDir() {
        if (path_.empty()) return;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((path_ + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW(File(found.cFileName).c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(path_.c_str());
    }
    bool ok() const { return !path_.empty(); }
    const std::wstring& path() const { return path_; }
    std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

inline bool WriteBytes(const std::wstring& path, const void* data, std::size_t size) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = size == 0 || WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);
    return ok && written == size;
}

inline bool WriteBytes(const std::wstring& path, const std::string& data) {
    return WriteBytes(path, data.data(), data.size());
}

// UTF-16LE with the byte order mark, as the settings INIs are published.
inline bool WriteUtf16File(const std::wstring& path, const std::wstring& text) {
    std::wstring content = L"\xFEFF" + text;
    return WriteBytes(path, content.data(), content.size() * sizeof(wchar_t));
}

inline std::vector<std::uint8_t> ReadBytes(const std::wstring& path) {
    std::vector<std::uint8_t> bytes;
    // Files the product still holds open (a log, a held program) are read too.
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    std::uint8_t block[65536];
    DWORD read = 0;
    while (ReadFile(file, block, sizeof(block), &read, nullptr) && read > 0) bytes.insert(bytes.end(), block, block + read);
    CloseHandle(file);
    return bytes;
}

// The file's bytes as they are, for 8-bit text such as a recorder's record.
inline std::string ReadNarrowFile(const std::wstring& path) {
    const std::vector<std::uint8_t> bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// UTF-16LE bytes from `from` on as text; an odd last byte is dropped.
inline std::wstring Utf16Text(const std::vector<std::uint8_t>& bytes, std::size_t from = 0) {
    std::wstring text;
    for (std::size_t i = from; i + 1 < bytes.size(); i += 2) text += static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8));
    return text;
}

// The content of a UTF-16LE file as text, byte order mark included.
inline std::wstring ReadUtf16File(const std::wstring& path) { return Utf16Text(ReadBytes(path)); }

inline bool FileExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

inline std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

}  // namespace test_support
