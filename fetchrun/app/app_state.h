// What one run of Fetchrun knows: its options, its texts and, in target mode, the
// dialog's result and temporary files. Owned by the main thread.
#pragma once
#include <windows.h>

#include <string>

#include "fetchrun/app/texts.h"

namespace fetchrun {

struct FetchrunState {
    bool silent = false;
    std::wstring target;
    std::wstring settingUrl;
    TargetTexts texts;
    DWORD resultCode = 0;
    std::wstring settingFile;  // temporary paths; empty when none
    std::wstring exeFile;
    std::wstring exeParam;
};

}  // namespace fetchrun
