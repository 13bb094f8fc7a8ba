// The settings URL and the user-visible texts of a target, from the language
// library beside the program.
#pragma once
#include "fetchrun/app/app_state.h"

namespace fetchrun {

// Loads battery.dll (signature always checked; no trust UI when silent). Without
// a "/Url:" the settings URL is the target's TXT 113 value and the error detail
// its TXT 112 value. True when a settings URL is known; the texts are loaded
// whenever the library could be.
bool LoadTargetTexts(FetchrunState& state);

}  // namespace fetchrun
