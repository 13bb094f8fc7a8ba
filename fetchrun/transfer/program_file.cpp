#include "fetchrun/transfer/program_file.h"

#include <sddl.h>

#include <cstddef>
#include <cstring>

#include "fetchrun/transfer/program_descriptor.h"

namespace fetchrun {
namespace {

// The user of this process as SID text; empty when it cannot be read.
std::wstring UserSidText() {
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return {};
    const cw::unique_kernel token(opened);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size < sizeof(TOKEN_USER)) return {};
    std::vector<BYTE> buffer(size);
    if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return {};
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) return {};
    const cw::unique_local owned(text);
    return text;
}

}  // namespace

cw::unique_local MakeProgramDescriptor() {
    const std::wstring sddl = ProgramFileDescriptor(UserSidText());
    if (sddl.empty()) {
        SetLastError(ERROR_INVALID_SID);
        return {};
    }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
        return {};
    }
    return cw::unique_local(descriptor);
}

bool operator==(const FileIdentity& a, const FileIdentity& b) {
    return a.volume == b.volume && a.indexHigh == b.indexHigh && a.indexLow == b.indexLow;
}

bool IdentifyFile(HANDLE file, FileIdentity& identity) {
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!GetFileInformationByHandle(file, &information)) return false;
    identity.volume = information.dwVolumeSerialNumber;
    identity.indexHigh = information.nFileIndexHigh;
    identity.indexLow = information.nFileIndexLow;
    return true;
}

bool ProgramFile::Create(const std::wstring& path) {
    Discard();
    const cw::unique_local descriptor = MakeProgramDescriptor();
    if (!descriptor) return false;
    SECURITY_ATTRIBUTES attributes = {};
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = descriptor.get();
    attributes.bInheritHandle = FALSE;

    DeleteFileW(path.c_str());
    // A new file only: opening an existing one would keep its descriptor.
    file_.reset(CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, 0, &attributes, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                            nullptr));
    if (!file_) return false;
    if (!IdentifyFile(file_.get(), identity_) || !hash_.Begin()) {
        const DWORD error = GetLastError();
        Discard();
        SetLastError(error ? error : ERROR_GEN_FAILURE);
        return false;
    }
    return true;
}

bool ProgramFile::Write(const BYTE* data, DWORD size) {
    DWORD written = 0;
    if (!WriteFile(file_.get(), data, size, &written, nullptr)) return false;
    if (written != size) {
        SetLastError(ERROR_WRITE_FAULT);
        return false;
    }
    if (!hash_.Add(data, size)) {
        SetLastError(ERROR_GEN_FAILURE);
        return false;
    }
    return true;
}

bool ProgramFile::Digest(std::vector<BYTE>& digest) { return hash_.Finish(digest); }

bool ProgramFile::Rename(const std::wstring& path) {
    // FILE_RENAME_INFO ends in the name; the structure is allocated with room for it.
    const std::size_t nameBytes = path.size() * sizeof(wchar_t);
    std::vector<BYTE> buffer(offsetof(FILE_RENAME_INFO, FileName) + nameBytes + sizeof(wchar_t));
    FILE_RENAME_INFO* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(rename->FileName, path.c_str(), nameBytes);
    return SetFileInformationByHandle(file_.get(), FileRenameInfo, rename, static_cast<DWORD>(buffer.size())) != FALSE;
}

void ProgramFile::Discard() {
    if (!file_) return;
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    SetFileInformationByHandle(file_.get(), FileDispositionInfo, &disposition, sizeof(disposition));
    file_.reset();
}

}  // namespace fetchrun
