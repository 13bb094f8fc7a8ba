// Authenticode checks against real files: the test copies of battery.dll that the
// build signs with the clone's throwaway CA (in <test folder>\signed), which the
// test prefix trusts; and the publisher's key pin on that CA's certificates.
#include <gtest/gtest.h>

#include <windows.h>
#include <wintrust.h>

#include <cstdint>
#include <string>
#include <vector>

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

// The test CA's leaves (testbin\certs, from tools/testca.sh): "signer" is the
// maker, "impostor" the maker's name on another key, "other" another publisher,
// "twonames" the maker's key under the maker's name and another. Each comes with
// the SHA-256 of its key as openssl computes it (README, Security).
std::vector<std::uint8_t> CertificateBytes(const wchar_t* leaf) {
    return test_support::ReadBytes(TestFolder() + L"\\certs\\" + leaf + L".der");
}

std::string KeyHash(const wchar_t* leaf) {
    std::string text = test_support::ReadNarrowFile(TestFolder() + L"\\certs\\" + leaf + L".spki-sha256");
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

cw::unique_cert_context Certificate(const std::vector<std::uint8_t>& der) {
    return cw::unique_cert_context(CertCreateCertificateContext(X509_ASN_ENCODING, der.data(),
                                                                static_cast<DWORD>(der.size())));
}

TEST(SignatureCheck, PublisherIsTheSignersOneCommonNameExactly) {
    RequireCopy(L"battery-other.dll");
    ExpectVerdict(L"battery-other.dll", kTrusted, "another publisher's trusted signature, no publisher asked for");
    // The name of the other publisher is fixed by the test CA; the signer of the
    // others carries the name the build pins.
    const std::string otherKey = KeyHash(L"other");
    const std::string signerKey = KeyHash(L"signer");
    ASSERT_EQ(64u, otherKey.size()) << "build test_certificates";
    const char* const otherKeys[] = {otherKey.c_str()};
    const char* const signerKeys[] = {signerKey.c_str()};
    struct Row {
        const wchar_t* copy;
        const wchar_t* name;
        const char* const* keys;
        LONG expected;
    };
    const Row rows[] = {
        {L"battery-other.dll", L"Other Publisher", otherKeys, kTrusted},
        {L"battery-other.dll", L"other publisher", otherKeys, kNotThePublisher},
        {L"battery-other.dll", L"Other Publisher ", otherKeys, kNotThePublisher},
        {L"battery-other.dll", L"Other", otherKeys, kNotThePublisher},
        {L"battery-other.dll", L"", otherKeys, kNotThePublisher},
        {L"battery-other.dll", L"Other Publisher", signerKeys, kNotThePublisher},  // its name, not its key
        {L"battery.dll", L"Other Publisher", otherKeys, kNotThePublisher},
        // A signature that fails on its own keeps its own result.
        {L"battery-unsigned.dll", L"Other Publisher", otherKeys, kNoSignature},
        {L"battery-tampered.dll", L"Other Publisher", otherKeys, kBadDigest},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Narrow(row.copy) + " for " + Narrow(row.name) + (row.keys == otherKeys ? "" : ", maker's key"));
        const std::wstring path = SignedCopy(row.copy);
        const cw::Publisher publisher = {row.name, row.keys, 1};
        EXPECT_EQ(Hex(row.expected),
                  Hex(cw::VerifyFileSignature(path.c_str(), WTD_UI_NONE, cw::WintrustSize::WithSignatureSettings,
                                              nullptr, &publisher)));
    }
}

TEST(SignatureKeyPin, TheKeyHashIsOpensslsHashOfTheKeyInTheCertificate) {
    for (const wchar_t* leaf : {L"signer", L"impostor", L"other", L"twonames"}) {
        SCOPED_TRACE(Narrow(leaf));
        const cw::unique_cert_context certificate = Certificate(CertificateBytes(leaf));
        ASSERT_TRUE(certificate) << "build test_certificates";
        const std::string expected = KeyHash(leaf);
        EXPECT_EQ(64u, expected.size());
        cw::KeyHashText hash;
        ASSERT_TRUE(cw::SubjectPublicKeyHash(certificate.get(), hash));
        EXPECT_EQ(expected, std::string(hash.digits));
    }
    EXPECT_EQ(KeyHash(L"signer"), KeyHash(L"twonames")) << "the test CA gives both the maker's key";
    EXPECT_NE(KeyHash(L"signer"), KeyHash(L"impostor"));
}

TEST(SignatureKeyPin, OnlyThePublishersNameOnOneOfItsKeysIsThePublisher) {
    const std::string maker = KeyHash(L"signer");
    const std::string impostor = KeyHash(L"impostor");
    const std::string unrelated(64, 'a');
    ASSERT_EQ(64u, maker.size()) << "build test_certificates";
    struct Row {
        const wchar_t* leaf;
        std::vector<const char*> keys;
        bool accepted;
    };
    const Row rows[] = {
        {L"signer", {maker.c_str()}, true},
        {L"impostor", {maker.c_str()}, false},  // the maker's name on another key
        {L"twonames", {maker.c_str()}, false},  // the maker's key under two names
        {L"other", {maker.c_str()}, false},
        {L"signer", {unrelated.c_str()}, false},
        {L"signer", {}, false},
        // While a key is rotated both are listed; either is accepted.
        {L"signer", {impostor.c_str(), maker.c_str()}, true},
        {L"impostor", {impostor.c_str(), maker.c_str()}, true},
        {L"signer", {unrelated.c_str(), impostor.c_str()}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Narrow(row.leaf) + " against " + std::to_string(row.keys.size()) + " key(s)");
        const cw::unique_cert_context certificate = Certificate(CertificateBytes(row.leaf));
        ASSERT_TRUE(certificate);
        const cw::Publisher publisher = {L"Norvane", row.keys.data(), row.keys.size()};
        EXPECT_EQ(row.accepted, cw::IsPublisherCertificate(certificate.get(), publisher));
    }
    EXPECT_FALSE(cw::IsPublisherCertificate(nullptr, {L"Norvane", nullptr, 0}));
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
