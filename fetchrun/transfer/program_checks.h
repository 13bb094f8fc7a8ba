// The steps that make a downloaded program fit to start: the published hash of the
// bytes written, the hold on the file under its ".exe" name (the very file that was
// written), and the publisher's signature judged through the held handle, so
// nothing can change the file between the checks and the start.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "fetchrun/transfer/program_file.h"
#include "fetchrun/transfer/transfer_result.h"
#include "fetchrun/transfer/verified_file_lock.h"

namespace fetchrun {

inline constexpr wchar_t kProgramSuffix[] = L".exe";

// Holds `path` (see VerifiedFileLock) and makes sure the held file is the one
// that was written (`written`): one renamed away and replaced under its name
// after the writer closed it is refused. Failure: Rename with the system error
// (ERROR_FILE_INVALID for a file that is not the one written).
TransferResult HoldProgram(const std::wstring& path, const FileIdentity& written, VerifiedFileLock& program);

// `digest` (SHA-256 of the bytes written) equal to `expectedHash` (any letter
// case). An empty expected hash or digest never matches: a program is started only
// with its published hash.
TransferResult CheckProgramHash(const std::vector<BYTE>& digest, const std::wstring& expectedHash);

// The held bytes carry a trusted signature of the update publisher.
TransferResult CheckProgramSignature(const VerifiedFileLock& program);

// WinVerifyTrust on a program without any UI, pinned to the update publisher: 0
// when the signature is valid, trusted and the publisher's (its name and one of
// its keys), else the platform's result (TRUST_E_SUBJECT_NOT_TRUSTED for another
// publisher, or the publisher's name on another key). With an open `file`
// (read access), its bytes are judged, whatever `path` names.
LONG VerifyProgramSignature(const wchar_t* path, HANDLE file = nullptr);

}  // namespace fetchrun
