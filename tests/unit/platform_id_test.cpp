// The platform identity: list lookup, the system identifier through a library in
// the place of hwlink.dll, and CNRV0A17 with the simulated embedded-controller
// library (ecsim.dll) registered under a test key. The stand-ins answer from this
// process's environment (tests/sim/khwport/nvmisc_stub.c, tests/sim/ecsim/ecsim.c).
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/companion.h"
#include "cellwise/identify/platform_id.h"
#include "tests/support/test_files.h"

namespace {

const cw::PairList kPairs{
    {L"0x4E560A16", L"0x00000003"},
    {L"0x4E560A17", L"0x00000004"},
    {L"0x4E560A17", L"0x00000003"},
    {L"0x4e560a17", L"0x00000005"},
};

std::wstring TestBin(const wchar_t* name) { return cw::OwnFolder() + L"\\" + name; }

bool IsLoaded(const std::wstring& path) { return GetModuleHandleW(path.c_str()) != nullptr; }

class PlatformIdTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch_.ok());
        const std::wstring id = std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++serial_);
        trace_ = scratch_.File(L"ecsim-trace.txt");
        SetEnvironmentVariableW(L"CW_ECSIM_TRACE", trace_.c_str());
        key_ = L"Software\\CellwiseTests\\NRV0A17-" + id;
    }
    void TearDown() override {
        for (const wchar_t* name : {L"CW_ECSIM_TRACE", L"CW_ECSIM_DEVINFO_RESULT", L"CW_ECSIM_FLAGS",
                                    L"CW_ECSIM_READ_RESULT", L"CW_ECSIM_VALUE", L"CW_STUB_STATUS",
                                    L"CW_STUB_SYSTEM_ID"})
            SetEnvironmentVariableW(name, nullptr);
        RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str());
    }

    // Registers the controller library as the product's registry key would.
    void Register(const std::wstring& folder, const std::wstring& file) {
        cw::unique_hkey key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                                  nullptr),
                  ERROR_SUCCESS);
        SetText(key.get(), cw::kEcFolderValue, folder);
        SetText(key.get(), cw::kEcFileValue, file);
    }
    static void SetText(HKEY key, const wchar_t* name, const std::wstring& text) {
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    void RegisterSimulator() { Register(cw::OwnFolder(), L"ecsim.dll"); }

    cw::CNRV0A17 Controller() { return cw::CNRV0A17(HKEY_CURRENT_USER, key_); }

    std::string Trace() const { return test_support::ReadNarrowFile(trace_); }

    test_support::ScratchDir scratch_;
    std::wstring key_;
    std::wstring trace_;
    static inline int serial_ = 0;
};

}  // namespace

TEST(PlatformIdText, MachineValuesAreEightUpperCaseHexDigits) {
    EXPECT_EQ(cw::FormatMachineValue(0x4E560A17), L"0x4E560A17");
    EXPECT_EQ(cw::FormatMachineValue(0xabcdef), L"0x00ABCDEF");
    EXPECT_EQ(cw::FormatMachineValue(0), L"0x00000000");
    EXPECT_EQ(cw::FormatMachineValue(0xFFFFFFFF), L"0xFFFFFFFF");
}

TEST(PlatformIdText, TheFirstExactPairWinsAndLowerCaseNeverMatches) {
    std::wstring id = L"unchanged";
    EXPECT_TRUE(cw::FindPlatformPair(kPairs, L"0x4E560A17", L"0x00000003", id));
    EXPECT_EQ(id, L"0x4E560A17-0x00000003");
    id = L"unchanged";
    EXPECT_FALSE(cw::FindPlatformPair(kPairs, L"0x4E560A17", L"0x00000005", id));  // listed only in lower case
    EXPECT_FALSE(cw::FindPlatformPair(kPairs, L"0x4E560A17", L"0x0000000", id));
    EXPECT_FALSE(cw::FindPlatformPair({{L"0x4E560A17 ", L"0x00000003"}}, L"0x4E560A17", L"0x00000003", id));
    EXPECT_FALSE(cw::FindPlatformPair({}, L"0x4E560A17", L"0x00000003", id));
    EXPECT_EQ(id, L"unchanged");
    EXPECT_TRUE(cw::FindPlatformPair({{L"A", L"B"}, {L"A", L"B"}}, L"A", L"B", id));
    EXPECT_EQ(id, L"A-B");
}

TEST(PlatformIdText, TheLibraryPathGetsOneBackslashAndAFittingLength) {
    EXPECT_EQ(cw::JoinEcLibraryPath(L"C:\\EC", L"ec.dll"), L"C:\\EC\\ec.dll");
    EXPECT_EQ(cw::JoinEcLibraryPath(L"C:\\EC\\", L"ec.dll"), L"C:\\EC\\ec.dll");
    EXPECT_EQ(cw::JoinEcLibraryPath(L"", L"ec.dll"), L"");
    EXPECT_EQ(cw::JoinEcLibraryPath(L"C:\\EC", L""), L"");
    const std::wstring folder(512, L'f');
    EXPECT_EQ(cw::JoinEcLibraryPath(folder, L"123456").size(), 519u);  // with its terminator: 520
    EXPECT_EQ(cw::JoinEcLibraryPath(folder, L"1234567"), L"");
}

TEST_F(PlatformIdTest, SystemIdentifierComesFromTheLibrarysRecordWhenItSucceeds) {
    const std::wstring stub = TestBin(L"nvmisc_stub.dll");
    SetEnvironmentVariableW(L"CW_STUB_SYSTEM_ID", L"0x4E560A17");
    // The stand-in refuses (0x10002) unless its four outputs arrive non-null and zeroed.
    EXPECT_EQ(cw::ReadSystemIdentifier(stub), 0x4E560A17u);
    EXPECT_FALSE(IsLoaded(stub));  // released right after the call

    SetEnvironmentVariableW(L"CW_STUB_STATUS", L"0x2E000");
    EXPECT_EQ(cw::ReadSystemIdentifier(stub), 0u);
    SetEnvironmentVariableW(L"CW_STUB_STATUS", L"0");
    SetEnvironmentVariableW(L"CW_STUB_SYSTEM_ID", L"0");
    EXPECT_EQ(cw::ReadSystemIdentifier(stub), 0u);
}

TEST_F(PlatformIdTest, ALibraryWithoutTheExportGivesNoIdentifierAndIsReleased) {
    const std::wstring other = TestBin(L"ecsim.dll");
    EXPECT_EQ(cw::ReadSystemIdentifier(other), 0u);
    EXPECT_FALSE(IsLoaded(other));
    EXPECT_EQ(cw::ReadSystemIdentifier(TestBin(L"no-such-hwlink.dll")), 0u);
}

TEST_F(PlatformIdTest, NoHwlinkInTheProgramsFolderMeansNotListedAndNoControllerCall) {
    if (GetFileAttributesW(TestBin(cw::kHwlinkFileName).c_str()) != INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "a hwlink.dll lies beside the tests";
    SetLastError(0);
    EXPECT_EQ(cw::GetSystemIdentifier(), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    std::wstring id = L"unchanged";
    EXPECT_FALSE(cw::GetPlatformId(kPairs, id));
    EXPECT_EQ(id, L"unchanged");
}

TEST_F(PlatformIdTest, AListedMachineGetsKeyDashValue) {
    RegisterSimulator();
    SetEnvironmentVariableW(L"CW_ECSIM_VALUE", L"3");
    cw::CNRV0A17 ec = Controller();
    std::wstring id;
    ASSERT_TRUE(cw::LookUpPlatformId(kPairs, 0x4E560A17, ec, id));
    EXPECT_EQ(id, L"0x4E560A17-0x00000003");
    // Both outputs are zeroed before the calls; the value is asked with selector 0xD5.
    EXPECT_EQ(Trace(), "GetECDevInfo in=0x00000000\nReadWritePWRMC selector=0xD5 in=0x00000000\n");
}

TEST_F(PlatformIdTest, AMachineNotListedOrWithoutIdentifierGetsNothing) {
    RegisterSimulator();
    SetEnvironmentVariableW(L"CW_ECSIM_VALUE", L"6");
    std::wstring id = L"unchanged";
    {
        cw::CNRV0A17 ec = Controller();
        EXPECT_FALSE(cw::LookUpPlatformId(kPairs, 0x4E560A17, ec, id));
    }
    {
        // Identifier 0: the controller's library is never loaded.
        DeleteFileW(trace_.c_str());
        SetEnvironmentVariableW(L"CW_ECSIM_VALUE", L"3");
        cw::CNRV0A17 ec = Controller();
        EXPECT_FALSE(cw::LookUpPlatformId({{L"0x00000000", L"0x00000003"}}, 0, ec, id));
        EXPECT_FALSE(ec.IsLoaded());
        EXPECT_EQ(Trace(), "");
    }
    EXPECT_EQ(id, L"unchanged");
}

TEST_F(PlatformIdTest, TheValueIsReadOnlyWhenTheControllerFlagsIt) {
    RegisterSimulator();
    SetEnvironmentVariableW(L"CW_ECSIM_FLAGS", L"0xEF");  // everything but 0x10
    std::uint32_t value = 77;
    cw::CNRV0A17 ec = Controller();
    EXPECT_FALSE(ec.QueryEcValue(&value));
    EXPECT_EQ(value, 77u);
    EXPECT_EQ(Trace(), "GetECDevInfo in=0x00000000\n");  // ReadWritePWRMC not called

    SetEnvironmentVariableW(L"CW_ECSIM_FLAGS", L"0x10");
    SetEnvironmentVariableW(L"CW_ECSIM_DEVINFO_RESULT", L"1");
    EXPECT_FALSE(ec.QueryEcValue(&value));
    SetEnvironmentVariableW(L"CW_ECSIM_DEVINFO_RESULT", L"0");
    SetEnvironmentVariableW(L"CW_ECSIM_READ_RESULT", L"5");
    EXPECT_FALSE(ec.QueryEcValue(&value));
    SetEnvironmentVariableW(L"CW_ECSIM_READ_RESULT", L"0");
    SetEnvironmentVariableW(L"CW_ECSIM_VALUE", L"0x12345678");
    EXPECT_TRUE(ec.QueryEcValue(&value));
    EXPECT_EQ(value, 0x12345678u);
}

TEST_F(PlatformIdTest, InstallPathWithOrWithoutTrailingBackslashNamesTheSameLibrary) {
    const std::wstring expected = cw::OwnFolder() + L"\\ecsim.dll";
    Register(cw::OwnFolder(), L"ecsim.dll");
    cw::CNRV0A17 plain = Controller();
    ASSERT_TRUE(plain.ReadInstallPath());
    EXPECT_EQ(plain.LibraryPath(), expected);

    Register(cw::OwnFolder() + L"\\", L"ecsim.dll");
    cw::CNRV0A17 slashed = Controller();
    ASSERT_TRUE(slashed.ReadInstallPath());
    EXPECT_EQ(slashed.LibraryPath(), expected);
    ASSERT_TRUE(slashed.LoadEcLibrary());
    EXPECT_TRUE(IsLoaded(expected));
    slashed.Close();
    EXPECT_FALSE(IsLoaded(expected));
    EXPECT_TRUE(slashed.LibraryPath().empty());
}

TEST_F(PlatformIdTest, AMissingRegistrationOrLibraryMeansNoValue) {
    std::uint32_t value = 77;
    {
        cw::CNRV0A17 ec = Controller();  // no key at all
        EXPECT_FALSE(ec.QueryEcValue(&value));
    }
    Register(L"", L"ecsim.dll");
    EXPECT_FALSE(Controller().ReadInstallPath());
    Register(cw::OwnFolder(), L"");
    EXPECT_FALSE(Controller().ReadInstallPath());
    Register(cw::OwnFolder(), L"no-such-ec.dll");
    EXPECT_FALSE(Controller().LoadEcLibrary());
    Register(cw::OwnFolder(), L".");  // a folder, not a library
    EXPECT_FALSE(Controller().LoadEcLibrary());
    Register(cw::OwnFolder(), L"nvmisc_stub.dll");  // loads, but lacks the exports
    cw::CNRV0A17 ec = Controller();
    EXPECT_TRUE(ec.LoadEcLibrary());
    EXPECT_FALSE(ec.QueryEcValue(&value));
    EXPECT_EQ(value, 77u);
}

TEST_F(PlatformIdTest, TheControllerLibraryIsUnloadedWithTheObject) {
    RegisterSimulator();
    const std::wstring path = cw::OwnFolder() + L"\\ecsim.dll";
    {
        cw::CNRV0A17 ec = Controller();
        std::uint32_t value = 0;
        ASSERT_TRUE(ec.QueryEcValue(&value));
        EXPECT_TRUE(IsLoaded(path));
    }
    EXPECT_FALSE(IsLoaded(path));
}
