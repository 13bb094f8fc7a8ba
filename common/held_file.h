// A companion file held open from its signature check until it has been used, so
// that what is loaded or started is what the check judged.
#pragma once
#include <windows.h>

#include "common/signature.h"
#include "common/unique_handle.h"

namespace cw {

// Opens `path` to read, shared for reading only, and checks the Authenticode
// signature of the bytes behind that handle. While the returned handle is open
// nobody can write, truncate, replace, rename or delete the file; it can still be
// read, loaded and started. Invalid when the file cannot be opened (last error of
// the open) or its signature is not trusted.
unique_file HoldTrustedFile(const wchar_t* path, DWORD uiChoice,
                            WintrustSize size = WintrustSize::WithoutSignatureSettings);

}  // namespace cw
