// The steps that make a downloaded program fit to start: its ".exe" name and the
// hold on it, then the published hash and the publisher's signature, both judged
// through the held handle, so nothing can change the file between the checks and
// the start.
#pragma once
#include <windows.h>

#include <string>

#include "fetchrun/transfer/transfer_result.h"
#include "fetchrun/transfer/verified_file_lock.h"

namespace fetchrun {

inline constexpr wchar_t kProgramSuffix[] = L".exe";

// Renames the downloaded `path` to `path` + ".exe" (updating `path`; a file left
// under that name by an earlier run is replaced) and holds it there. A writer that
// got in after the download makes the hold fail; one that changed the file before
// it is caught by the hash. Failure: Rename with the system error.
TransferResult HoldProgram(std::wstring& path, VerifiedFileLock& program);

// SHA-256 of the held bytes equal to `expectedHash` (any letter case). An empty
// expected hash never matches: a program is started only with its published hash.
TransferResult CheckProgramHash(const VerifiedFileLock& program, const std::wstring& expectedHash);

// The held bytes carry a trusted signature of the update publisher.
TransferResult CheckProgramSignature(const VerifiedFileLock& program);

// WinVerifyTrust on a program without any UI, pinned to the update publisher: 0
// when the signature is valid, trusted and the publisher's (its name and one of
// its keys), else the platform's result (TRUST_E_SUBJECT_NOT_TRUSTED for another
// publisher, or the publisher's name on another key). With an open `file`
// (read access), its bytes are judged, whatever `path` names.
LONG VerifyProgramSignature(const wchar_t* path, HANDLE file = nullptr);

}  // namespace fetchrun
