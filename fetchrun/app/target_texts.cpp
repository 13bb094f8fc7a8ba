#include "target_texts.h"

#include "fetchrun_log.h"
#include "resource_library.h"
#include "unique_handle.h"

namespace fetchrun {
namespace {

// String `id` of `library`; empty when missing or empty.
std::wstring LoadLibraryText(HMODULE library, unsigned id) {
    const wchar_t* text = nullptr;
    // With a zero length, LoadStringW hands out the resource's own characters.
    const int length = LoadStringW(library, id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) return {};
    return std::wstring(text, static_cast<std::size_t>(length));
}

// Value of the first pair whose key is `target` (exact, case-sensitive).
std::wstring LookUp(HMODULE library, unsigned listId, const std::wstring& target) {
    for (const cw::Pair& pair : cw::ReadPairList(library, listId)) {
        if (pair.key == target) return pair.value;
    }
    return {};
}

}  // namespace

bool LoadTargetTexts(FetchrunState& state) {
    cw::unique_module library(cw::LoadResourceLibrary(true, state.silent));
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
    texts.title = LoadLibraryText(library.get(), kTextTitle);
    texts.downloading = LoadLibraryText(library.get(), kTextDownloading);
    const std::wstring message = LoadLibraryText(library.get(), kTextErrorMsg);
    const std::wstring detailFormat = detail.empty() ? std::wstring() : LoadLibraryText(library.get(), kTextErrorDetail);
    texts.errorMsg = ComposeErrorMessage(message, detailFormat, detail);
    texts.copyright = LoadLibraryText(library.get(), kTextCopyright);
    texts.retryBtn = LoadLibraryText(library.get(), kTextRetryBtn);
    texts.afterBtn = LoadLibraryText(library.get(), kTextAfterBtn);
    texts.endMsg = LoadLibraryText(library.get(), kTextEndMsg);
    texts.notFoundMsg = LoadLibraryText(library.get(), kTextNotFoundMsg);
    library.reset();

    if (state.settingUrl.empty()) {
        LogLine(L"Target URL is not found.");
        return false;
    }
    return true;
}

}  // namespace fetchrun
