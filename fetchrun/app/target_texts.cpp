#include "fetchrun/app/target_texts.h"

#include "fetchrun/transfer/fetchrun_log.h"
#include "common/resource_library.h"

namespace fetchrun {
namespace {

// Value of the first pair whose key is `target` (exact, case-sensitive).
std::wstring LookUp(HMODULE library, unsigned listId, const std::wstring& target) {
    for (const cw::Pair& pair : cw::ReadPairList(library, listId)) {
        if (pair.key == target) return pair.value;
    }
    return {};
}

}  // namespace

bool LoadTargetTexts(FetchrunState& state) {
    cw::ResourceLibrary library = cw::LoadResourceLibrary(true, state.silent);
    if (!library) {
        LogLine(L"failed to load Resource dll.");
        return false;
    }

    std::wstring detail;
    if (state.settingUrl.empty()) {
        state.settingUrl = LookUp(library.get(), kListSettingUrl, state.target);
        detail = LookUp(library.get(), kListErrorDetail, state.target);
    }

    TargetTexts& texts = state.texts;
    texts.title = cw::LoadLibraryString(library.get(), kTextTitle);
    texts.downloading = cw::LoadLibraryString(library.get(), kTextDownloading);
    const std::wstring message = cw::LoadLibraryString(library.get(), kTextErrorMsg);
    const std::wstring detailFormat = detail.empty() ? std::wstring() : cw::LoadLibraryString(library.get(), kTextErrorDetail);
    texts.errorMsg = ComposeErrorMessage(message, detailFormat, detail);
    texts.copyright = cw::LoadLibraryString(library.get(), kTextCopyright);
    texts.retryBtn = cw::LoadLibraryString(library.get(), kTextRetryBtn);
    texts.afterBtn = cw::LoadLibraryString(library.get(), kTextAfterBtn);
    texts.endMsg = cw::LoadLibraryString(library.get(), kTextEndMsg);
    texts.notFoundMsg = cw::LoadLibraryString(library.get(), kTextNotFoundMsg);
    library.reset();

    if (state.settingUrl.empty()) {
        LogLine(L"Target URL is not found.");
        return false;
    }
    return true;
}

}  // namespace fetchrun
