// The security descriptor a downloaded program is created with, as SDDL. Pure: no
// Windows headers.
#pragma once
#include <string>

namespace fetchrun {

// A protected DACL (nothing inherited from the folder): the system and the
// administrators full control; the user `userSid` reading, running and deleting
// only; and an OWNER RIGHTS entry, so that the file's owner has no more than
// reading and running either: without it the owner could always rewrite the DACL
// and grant itself the rest. The creating handle keeps the access it asked for;
// once it is closed no process of the user can open the file to write it. Empty
// when `userSid` is no SID text ("S-1-" and then digits and dashes only).
std::wstring ProgramFileDescriptor(const std::wstring& userSid);

}  // namespace fetchrun
