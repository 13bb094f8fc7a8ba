// Authenticode checks against real files: the test copies of battery.dll that the
// build signs with this tree's throwaway CA (in <test folder>\signed), which the
// test prefix trusts.
#include <gtest/gtest.h>

#include <windows.h>
#include <wintrust.h>

#include <string>

#include "common/companion.h"
#include "common/signature.h"
#include "common/unique_handle.h"
#include "tests/support/test_files.h"

namespace {

constexpr LONG kTrusted = 0;
constexpr LONG kNoSignature = static_cast<LONG>(0x800B0100);   // TRUST_E_NOSIGNATURE
constexpr LONG kExpired = static_cast<LONG>(0x800B0101);       // CERT_E_EXPIRED
constexpr LONG kBadDigest = static_cast<LONG>(0x80096010);     // TRUST_E_BAD_DIGEST
constexpr LONG kNotThePublisher = static_cast<LONG>(0x800B0004);  // TRUST_E_SUBJECT_NOT_TRUSTED

std::wstring TestFolder() { return cw::OwnFolder(); }

std::wstring SignedCopy(const wchar_t* name) { return TestFolder() + L"\\signed\\" + name; }

using test_support::Narrow;

std::string Hex(LONG value) {
    char text[16];
    wsprintfA(text, "0x%08lX", static_cast<unsigned long>(value));
    return text;
}

// Both structure sizes the programs pass, each with both trust UI choices they use:
// every form must give the same verdict.
struct Form {
    cw::WintrustSize size;
    DWORD uiChoice;
    const char* name;
};
constexpr Form kForms[] = {
    {cw::WintrustSize::WithoutSignatureSettings, WTD_UI_NONE, "short size, no UI"},
    {cw::WintrustSize::WithoutSignatureSettings, WTD_UI_NOGOOD, "short size, failure UI"},
    {cw::WintrustSize::WithSignatureSettings, WTD_UI_NONE, "full size, no UI"},
    {cw::WintrustSize::WithSignatureSettings, WTD_UI_NOGOOD, "full size, failure UI"},
};

// The verdict for a file in the signed folder, the same in every form.
void ExpectVerdict(const wchar_t* name, LONG expected, const char* hint = "") {
    const std::wstring path = SignedCopy(name);
    for (const Form& form : kForms) {
        SCOPED_TRACE(form.name);
        const LONG result = cw::VerifyFileSignature(path.c_str(), form.uiChoice, form.size);
        EXPECT_EQ(Hex(result), Hex(expected)) << hint;
    }
}

void RequireCopy(const wchar_t* name) {
    ASSERT_TRUE(test_support::FileExists(SignedCopy(name))) << Narrow(SignedCopy(name)) << " is missing: build signed_copies";
}

TEST(SignatureCheck, SignedByTrustedCaIsAccepted) {
    RequireCopy(L"battery.dll");
    ExpectVerdict(L"battery.dll", kTrusted,
                  "0x800B0109 means the prefix does not trust this tree's test CA (rebuild wineprefix)");
}

TEST(SignatureCheck, UnsignedIsRejected) {
    RequireCopy(L"battery-unsigned.dll");
    ExpectVerdict(L"battery-unsigned.dll", kNoSignature);
}

TEST(SignatureCheck, ChangedAfterSigningIsRejected) {
    RequireCopy(L"battery-tampered.dll");
    ExpectVerdict(L"battery-tampered.dll", kBadDigest);
}

TEST(SignatureCheck, ExpiredSignerIsRejected) {
    RequireCopy(L"battery-expired.dll");
    ExpectVerdict(L"battery-expired.dll", kExpired);
}

TEST(SignatureCheck, MissingFileGivesFileNotFound) {
    ExpectVerdict(L"no-such-library.dll", static_cast<LONG>(ERROR_FILE_NOT_FOUND));
}

TEST(SignatureCheck, PublisherIsTheSignersOneCommonNameExactly) {
    RequireCopy(L"battery-other.dll");
    ExpectVerdict(L"battery-other.dll", kTrusted, "another publisher's trusted signature, no publisher asked for");
    struct Row {
        const wchar_t* copy;
        const wchar_t* publisher;
        LONG expected;
    };
    // The other publisher's name is fixed by the test CA; the signer of the
    // others carries the name the build pins.
    const Row rows[] = {
        {L"battery-other.dll", L"Other Publisher", kTrusted},
        {L"battery-other.dll", L"other publisher", kNotThePublisher},
        {L"battery-other.dll", L"Other Publisher ", kNotThePublisher},
        {L"battery-other.dll", L"Other", kNotThePublisher},
        {L"battery-other.dll", L"", kNotThePublisher},
        {L"battery.dll", L"Other Publisher", kNotThePublisher},
        // A signature that fails on its own keeps its own result.
        {L"battery-unsigned.dll", L"Other Publisher", kNoSignature},
        {L"battery-tampered.dll", L"Other Publisher", kBadDigest},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Narrow(row.copy) + " for " + Narrow(row.publisher));
        const std::wstring path = SignedCopy(row.copy);
        EXPECT_EQ(Hex(row.expected),
                  Hex(cw::VerifyFileSignature(path.c_str(), WTD_UI_NONE, cw::WintrustSize::WithSignatureSettings,
                                              nullptr, row.publisher)));
    }
}

// LoadResourceLibrary finds battery.dll only beside the running program, so each case
// runs a small probe program from a scratch folder that holds one variant of it.
// After a checked load the probe also makes sure that the library could not be
// opened for writing until it was freed.
class ProbeFolder {
public:
    ProbeFolder() {
        if (!scratch_.ok()) return;
        probe_ = scratch_.File(L"resource_library_probe.exe");
        library_ = scratch_.File(L"battery.dll");
        if (!CopyFileW((TestFolder() + L"\\resource_library_probe.exe").c_str(), probe_.c_str(), FALSE)) probe_.clear();
    }
    ProbeFolder(const ProbeFolder&) = delete;
    ProbeFolder& operator=(const ProbeFolder&) = delete;

    bool ready() const { return !probe_.empty(); }
    bool PlaceLibrary(const wchar_t* signedCopy) {
        return CopyFileW(SignedCopy(signedCopy).c_str(), library_.c_str(), FALSE) != 0;
    }

    // The probe's exit code, or -1 when it could not be run to its end.
    long Run(bool verify) const {
        std::wstring commandLine = L"\"" + probe_ + L"\" " + (verify ? L"verify" : L"noverify");
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        if (!CreateProcessW(probe_.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                            scratch_.path().c_str(), &startup, &info)) {
            return -1;
        }
        cw::unique_kernel process(info.hProcess);
        cw::unique_kernel thread(info.hThread);
        if (WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) {
            TerminateProcess(process.get(), 1);
            return -1;
        }
        DWORD code = 0;
        if (!GetExitCodeProcess(process.get(), &code)) return -1;
        return static_cast<long>(code);
    }

private:
    test_support::ScratchDir scratch_;
    std::wstring probe_;
    std::wstring library_;
};

constexpr long kLoaded = 0;
constexpr long kNotLoaded = 1;

TEST(SignatureLibraryLoad, ChecksTheSignatureOfTheLibraryBesideTheProgram) {
    struct Case {
        const wchar_t* copy;
        long expected;
    };
    const Case cases[] = {
        {L"battery.dll", kLoaded},
        {L"battery-unsigned.dll", kNotLoaded},
        {L"battery-tampered.dll", kNotLoaded},
        {L"battery-expired.dll", kNotLoaded},
        {L"battery-other.dll", kLoaded},  // the library is not tied to one publisher
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.copy));
        ProbeFolder folder;
        ASSERT_TRUE(folder.ready()) << "resource_library_probe.exe missing or no scratch folder";
        ASSERT_TRUE(folder.PlaceLibrary(c.copy)) << "build signed_copies";
        EXPECT_EQ(folder.Run(true), c.expected);
    }
}

TEST(SignatureLibraryLoad, WithoutTheCheckOnlyTheFileMatters) {
    {
        ProbeFolder folder;
        ASSERT_TRUE(folder.ready());
        ASSERT_TRUE(folder.PlaceLibrary(L"battery-unsigned.dll"));
        EXPECT_EQ(folder.Run(false), kLoaded) << "an unsigned library loads as data when not checked";
    }
    {
        ProbeFolder folder;
        ASSERT_TRUE(folder.ready());
        EXPECT_EQ(folder.Run(false), kNotLoaded);
        EXPECT_EQ(folder.Run(true), kNotLoaded);
    }
}

}  // namespace
