// What the result dialogs decide that a screen under Wine cannot show: the link
// handler (Wine's rich edit drops hyperlink fields; the filter's own rows are in
// web_link_test.cpp), the stream-in chunking, the OLE callback's storages and the
// objects it lets in, the font arithmetic, the colour answers with high contrast
// on and off, and the value lines.
#include <gtest/gtest.h>

#include <windows.h>
#include <richedit.h>

#include <string>
#include <vector>

#include "cellwise/ui/dialog_style.h"
#include "cellwise/ui/ole_callback.h"
#include "cellwise/ui/result_dialog.h"
#include "cellwise/ui/rich_text.h"
#include "common/unique_handle.h"
#include "tests/support/test_files.h"

namespace {

using Norvane::PC::Ambergate::CMyRichEditOleCallback;

std::vector<std::wstring> g_opened;
HWND g_openedOwner = nullptr;

void RecordOpen(HWND owner, const wchar_t* target) {
    g_openedOwner = owner;
    g_opened.push_back(target);
}

class RichEditWindow {
public:
    explicit RichEditWindow(const wchar_t* text) {
        LoadLibraryW(L"Msftedit.dll");
        window_ = CreateWindowExW(0, L"RichEdit50W", text, ES_MULTILINE, 0, 0, 300, 100, nullptr, nullptr, nullptr,
                                  nullptr);
    }
    RichEditWindow(const RichEditWindow&) = delete;
    RichEditWindow& operator=(const RichEditWindow&) = delete;
    ~RichEditWindow() {
        if (window_) DestroyWindow(window_);
    }
    HWND get() const { return window_; }

private:
    HWND window_ = nullptr;
};

ENLINK Link(HWND control, UINT mouse, LONG start, LONG end) {
    ENLINK link = {};
    link.nmhdr.hwndFrom = control;
    link.nmhdr.idFrom = 1001;
    link.nmhdr.code = EN_LINK;
    link.msg = mouse;
    link.chrg.cpMin = start;
    link.chrg.cpMax = end;
    return link;
}

TEST(ResultDialogLink, OnlyALeftButtonReleaseOpensTheLinkText) {
    // "http://www.norvane.example/" spans characters 5 to 32, "C:\run.exe" 40 to 50.
    RichEditWindow control(L"Open http://www.norvane.example/ now or C:\\run.exe");
    ASSERT_NE(control.get(), nullptr);
    const HWND owner = reinterpret_cast<HWND>(static_cast<LONG_PTR>(0x1234));
    struct Row {
        UINT mouse;
        LONG start, end;
        LRESULT answer;
        const wchar_t* opened;  // null: nothing opened
    };
    const Row rows[] = {
        {WM_LBUTTONDOWN, 5, 32, 0, nullptr},
        {WM_RBUTTONUP, 5, 32, 0, nullptr},
        {WM_MOUSEMOVE, 5, 32, 0, nullptr},
        {WM_SETCURSOR, 5, 32, 0, nullptr},
        {WM_LBUTTONUP, 5, 32, 1, L"http://www.norvane.example/"},
        {WM_LBUTTONUP, 40, 50, 1, nullptr},  // no web link
        {WM_LBUTTONUP, 5, 5, 1, nullptr},    // an empty range
        {WM_LBUTTONUP, 32, 5, 1, nullptr},   // a reversed one
        {WM_LBUTTONUP, 5, -1, 1, nullptr},   // "to the end" is no link range
        {WM_LBUTTONUP, -1, 5, 1, nullptr},
    };
    for (const Row& row : rows) {
        g_opened.clear();
        g_openedOwner = nullptr;
        EXPECT_EQ(row.answer, cw::OnLinkNotify(owner, Link(control.get(), row.mouse, row.start, row.end), RecordOpen))
            << row.mouse << " " << row.start << ".." << row.end;
        if (row.opened) {
            EXPECT_EQ(std::vector<std::wstring>{row.opened}, g_opened);
            EXPECT_EQ(owner, g_openedOwner);
        } else {
            EXPECT_TRUE(g_opened.empty()) << row.mouse << " " << row.start << ".." << row.end;
        }
    }
}

TEST(ResultDialogRichText, StreamInHandsOutTheResourceInRequestedPieces) {
    const BYTE data[] = {'{', '\\', 'r', 't', 'f', '1', ' ', 'x', '}', '\n'};
    cw::RtfStreamCursor cursor = {data, sizeof(data)};
    const DWORD_PTR cookie = reinterpret_cast<DWORD_PTR>(&cursor);
    BYTE buffer[16] = {};
    LONG given = -1;

    EXPECT_EQ(0u, cw::StreamInRtf(cookie, buffer, 4, &given));
    EXPECT_EQ(4, given);
    EXPECT_EQ(std::string("{\\rt"), std::string(reinterpret_cast<char*>(buffer), 4));
    EXPECT_EQ(0u, cw::StreamInRtf(cookie, buffer, 16, &given));  // more than is left: the rest
    EXPECT_EQ(6, given);
    EXPECT_EQ(std::string("f1 x}\n"), std::string(reinterpret_cast<char*>(buffer), 6));
    EXPECT_EQ(0u, cw::StreamInRtf(cookie, buffer, 16, &given));
    EXPECT_EQ(0, given);
}

std::wstring StorageName(IStorage* storage) {
    STATSTG stat = {};
    if (FAILED(storage->Stat(&stat, STATFLAG_DEFAULT))) return L"<no stat>";
    std::wstring name = stat.pwcsName ? stat.pwcsName : L"";
    CoTaskMemFree(stat.pwcsName);
    return name;
}

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

// The temporary folder of this process, moved for the scope of this object.
class TempFolder {
public:
    explicit TempFolder(const std::wstring& folder) {
        for (const wchar_t* name : {L"TMP", L"TEMP"}) {
            wchar_t old[MAX_PATH] = {};
            saved_.emplace_back(name, GetEnvironmentVariableW(name, old, MAX_PATH) ? old : L"");
            SetEnvironmentVariableW(name, folder.c_str());
        }
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() {
        for (const auto& [name, value] : saved_) SetEnvironmentVariableW(name.c_str(), value.c_str());
    }

private:
    std::vector<std::pair<std::wstring, std::wstring>> saved_;
};

TEST(ResultDialogOleCallback, NamesItsStoragesAndRemovesItsCompoundFile) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    test_support::ScratchDir scratch;
    ASSERT_TRUE(scratch.ok());
    {
        const TempFolder temp(scratch.path());
        cw::unique_com<IRichEditOleCallback> callback(new CMyRichEditOleCallback);
        EXPECT_FALSE(FilesIn(scratch.path()).empty()) << "no temporary compound file";

        for (const wchar_t* expected : {L"REOLEStorage1", L"REOLEStorage2"}) {
            cw::unique_com<IStorage> storage;
            ASSERT_EQ(S_OK, callback.get()->GetNewStorage(storage.put()));
            EXPECT_EQ(expected, StorageName(storage.get()));
        }

        void* object = nullptr;
        EXPECT_EQ(S_OK, callback.get()->QueryInterface(IID_IUnknown, &object));
        EXPECT_EQ(1u, static_cast<IUnknown*>(object)->Release());
        object = reinterpret_cast<void*>(0x1);
        EXPECT_EQ(E_NOINTERFACE, callback.get()->QueryInterface(IID_IStorage, &object));
        EXPECT_EQ(reinterpret_cast<void*>(0x1), object);

        // The control copies with its own data object; no in-place frame is offered.
        IDataObject* data = reinterpret_cast<IDataObject*>(0x1);
        EXPECT_EQ(E_NOTIMPL, callback.get()->GetClipboardData(nullptr, RECO_COPY, &data));
        EXPECT_EQ(nullptr, data);
    }
    EXPECT_TRUE(FilesIn(scratch.path()).empty()) << "the compound file outlived the callback";
    CoUninitialize();
}

TEST(ResultDialogOleCallback, LetsOnlyStaticPicturesIntoTheText) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    {
        cw::unique_com<IRichEditOleCallback> callback(new CMyRichEditOleCallback);
        struct Row {
            const char* name;
            CLSID classId;
            bool inserted;
        };
        const Row rows[] = {
            {"no class (Wine's pictures)", {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}}, true},
            {"metafile", {0x00000315, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}, true},
            {"DIB", {0x00000316, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}, true},
            {"enhanced metafile", {0x00000319, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}, true},
            {"OLE picture object", {0x0BE35204, 0x8F91, 0x11CE, {0x9D, 0xE3, 0, 0xAA, 0, 0x4B, 0xB8, 0x51}}, false},
            {"packager", {0x0003000C, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}, false},
            {"web browser", {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}}, false},
            {"HTML document", {0x25336920, 0x03F9, 0x11CF, {0x8F, 0xD0, 0x00, 0xAA, 0x00, 0x68, 0x6F, 0x13}}, false},
            {"a neighbour of the pictures", {0x00000317, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}, false},
        };
        for (const Row& row : rows) {
            CLSID classId = row.classId;
            EXPECT_EQ(row.inserted, callback.get()->QueryInsertObject(&classId, nullptr, 0) == S_OK) << row.name;
        }
        EXPECT_NE(S_OK, callback.get()->QueryInsertObject(nullptr, nullptr, 0));
    }
    CoUninitialize();
}

TEST(ResultDialogStyle, FontsScaleTheDialogFontTowardZero) {
    LOGFONTW message = {};
    message.lfHeight = -12;
    message.lfWeight = 700;
    lstrcpyW(message.lfFaceName, L"Message Face");
    LOGFONTW dialog = {};
    dialog.lfHeight = -15;
    dialog.lfWidth = 7;
    dialog.lfWeight = 400;
    struct Row {
        double factor;
        LONG height, width;
    };
    for (const Row& row : {Row{1.9, -28, 13}, Row{1.5, -22, 10}, Row{1.0, -15, 7}}) {
        const LOGFONTW font = cw::ScaleMessageFont(message, dialog, row.factor);
        EXPECT_EQ(row.height, font.lfHeight) << row.factor;
        EXPECT_EQ(row.width, font.lfWidth) << row.factor;
        EXPECT_EQ(400, font.lfWeight);
        EXPECT_EQ(std::wstring(L"Message Face"), font.lfFaceName);
    }
}

TEST(ResultDialogStyle, HighContrastLeavesEveryColourToTheSystem) {
    using cw::BrushRole;
    struct Row {
        bool highContrast;
        UINT message;
        int control;
        BrushRole role;
    };
    const Row rows[] = {
        {false, WM_CTLCOLORSTATIC, 1000, BrushRole::Caption},
        {false, WM_CTLCOLORSTATIC, 1003, BrushRole::Background},  // read-only edits ask as statics
        {false, WM_CTLCOLORDLG, 0, BrushRole::Background},
        {false, WM_CTLCOLORBTN, 1, BrushRole::Background},
        {true, WM_CTLCOLORSTATIC, 1000, BrushRole::None},
        {true, WM_CTLCOLORDLG, 0, BrushRole::None},
        {true, WM_CTLCOLORBTN, 1, BrushRole::None},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.role, cw::ChooseBrush(row.highContrast, row.message, row.control))
            << row.highContrast << " " << row.message << " " << row.control;
    }
}

TEST(ResultDialogValueLine, TemplatesTakeTwoInsertsAndNeverReadBeyondThem) {
    struct Row {
        const wchar_t* pattern;
        const wchar_t* expected;
    };
    const Row rows[] = {
        {L"%1 (serial number %2)", L"NRV-BP41A (serial number 2307Z104512Z)"},
        {L"%2!-10s!|%1", L"2307Z104512Z|NRV-BP41A"},
        {L"%2 / %1 %3%99", L"NRV-BP41A 2307Z104512Z"},  // more than two values
        {L"%1!*s! %2", L"NRV-BP41A 2307Z104512Z"},  // a '*' takes a further value
        {L"%1%", L"NRV-BP41A 2307Z104512Z"},  // rejected by FormatMessage
        {L"", L"NRV-BP41A 2307Z104512Z"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(std::wstring(row.expected), cw::ExpandValueTemplate(row.pattern, L"NRV-BP41A", L"2307Z104512Z"))
            << static_cast<const void*>(row.pattern);
    }
}

}  // namespace
