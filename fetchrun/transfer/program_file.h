// The file a downloaded program is written into. From its creation to its start no
// other process of the user may write it: while it is written the one writing
// handle shares nothing; it is created with a descriptor that lets the user read,
// run and delete it but not write it or change that descriptor (see
// program_descriptor.h), so once that handle is closed no process below an
// administrator can open it to write or map it writable; and the hold that follows
// checks that it holds this very file, not one put under its name meanwhile.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "common/unique_handle.h"
#include "common/sha256.h"

namespace fetchrun {

// Which file an open handle is on: its volume and its index there. It stays the
// same through renames; another file put under the same name has another.
struct FileIdentity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
};
bool operator==(const FileIdentity& a, const FileIdentity& b);
bool IdentifyFile(HANDLE file, FileIdentity& identity);

// The descriptor of program_descriptor.h for the user of this process, as
// ProgramFile::Create gives it to the file; null, with the last error, when it
// cannot be made (then Create makes nothing).
cw::unique_local MakeProgramDescriptor();

class ProgramFile {
public:
    ProgramFile() = default;
    ProgramFile(const ProgramFile&) = delete;
    ProgramFile& operator=(const ProgramFile&) = delete;
    // A file still open is discarded: a download that did not finish leaves nothing.
    ~ProgramFile() { Discard(); }

    // Creates `path` anew with the program's descriptor, for writing alone. The
    // empty file that GetTempFileNameW left under the name is removed first: it
    // was made with the folder's descriptor, and a process may have mapped it
    // meanwhile; a name it keeps in use makes the creation fail. False with the
    // last error.
    bool Create(const std::wstring& path);
    // Writes `size` bytes at the end and adds them to the hash.
    bool Write(const BYTE* data, DWORD size);
    // SHA-256 of everything written; false when the hash failed.
    bool Digest(std::vector<BYTE>& digest);
    // Renames the file through the writing handle, replacing a file of that name
    // (an earlier run's program); one in use refuses. False with the last error.
    bool Rename(const std::wstring& path);
    // Closes the writing handle; the file stays.
    void Close() { file_.reset(); }
    // Deletes the file through the writing handle and closes it.
    void Discard();

    // The file written, known from its creation on.
    const FileIdentity& Identity() const { return identity_; }

private:
    cw::unique_file file_;
    cw::Sha256 hash_;
    FileIdentity identity_;
};

}  // namespace fetchrun
