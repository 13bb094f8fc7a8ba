// The check sequence with the machine, the message box and the trust check in the
// tests' hands. battery.dll beside the test program is the signed sample library.
#include <gtest/gtest.h>
#include <windows.h>
#include <wintrust.h>

#include <string>
#include <vector>

#include "cellwise/check/run_check.h"
#include "cellwise/check/show_message.h"
#include "cellwise/identify/battery_query.h"
#include "cellwise/report/event_log.h"
#include "common/signature.h"
#include "tests/support/test_files.h"
#include "tests/unit/smbios_tables.h"

using smbios_test::Event;
using smbios_test::FakeFirmware;
using smbios_test::RecordingSink;
using smbios_test::Table;

namespace {

const cw::BatteryRecord kTarget{true, L"Norvane", L"NRV-BP41A", L"2307Z104512Z"};
const cw::BatteryRecord kNonTarget{true, L"Norvane", L"NRV-BP41A", L"2307Z110000Z"};

cw::RunSettings Silent() {
    cw::RunSettings settings;
    settings.silent = true;
    settings.verifySignature = false;
    return settings;
}

// Devices as the class driver would list them.
class FakeDevices final : public cw::BatteryDeviceSource {
public:
    explicit FakeDevices(std::vector<cw::BatteryRecord> records) : records_(std::move(records)) {}
    bool Next(cw::BatteryRecord& record, std::wstring& path) override {
        if (next_ >= records_.size()) return false;
        path = L"\\\\?\\dev#" + std::to_wstring(next_);
        record = records_[next_++];
        return true;
    }

private:
    std::vector<cw::BatteryRecord> records_;
    std::size_t next_ = 0;
};

// Counts how often the tables are listed.
class CountingFirmware final : public cw::FirmwareTableSource {
public:
    explicit CountingFirmware(FakeFirmware& tables) : tables_(tables) {}
    std::vector<std::uint32_t> TableIds() override {
        ++listed;
        return tables_.TableIds();
    }
    std::vector<std::uint8_t> Table(std::uint32_t id) override { return tables_.Table(id); }
    int listed = 0;

private:
    FakeFirmware& tables_;
};

// A machine with fixed batteries that records the list it is asked to look up.
class FakeMachine : public cw::CheckMachine {
public:
    cw::BatteryList batteries{kNonTarget};
    std::vector<cw::PairList> platformLists;

    cw::BatteryList Batteries(cw::EventSink&) override { return batteries; }
    bool PlatformId(const cw::PairList& platformPairs, std::wstring& platformId) override {
        platformLists.push_back(platformPairs);
        platformId = L"0x4E560A17-0x00000003";
        return true;
    }
};

// Puts a replacement in for the scope of a test.
template <typename Call, Call (*Use)(Call)>
class Replaced {
public:
    explicit Replaced(Call call) : previous_(Use(call)) {}
    ~Replaced() { Use(previous_); }
    Replaced(const Replaced&) = delete;
    Replaced& operator=(const Replaced&) = delete;

private:
    Call previous_;
};

struct Shown {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT style;
};
std::vector<Shown> g_shown;

int WINAPI RecordBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style) {
    g_shown.push_back(Shown{owner, text, caption, style});
    return IDRETRY;
}

struct TrustCall {
    HWND window;
    GUID action;
    cw::WintrustDataEx data;
    std::wstring path;
};
std::vector<TrustCall> g_trust;

LONG WINAPI RecordTrust(HWND window, GUID* action, LPVOID data) {
    const auto* wintrust = static_cast<const cw::WintrustDataEx*>(data);
    g_trust.push_back(TrustCall{window, *action, *wintrust, wintrust->pFile->pcwszFilePath});
    return static_cast<LONG>(0x800B0100);  // no signature
}

}  // namespace

TEST(RunCheck, HandsThePlatformListToThePlatformIdentity) {
    FakeMachine machine;
    cw::BatteryList batteries;
    EXPECT_EQ(cw::RunCheck(Silent(), batteries, machine), 1);
    ASSERT_EQ(machine.platformLists.size(), 1u);
    EXPECT_EQ(machine.platformLists[0], (cw::PairList{{L"0x4E560A17", L"0x00000003"}}));
}

TEST(RunCheck, TheSmbiosFallbackIsReadOnceAndItsBatteriesFollowTheDevicesIntoVerdictAndReport) {
    FakeFirmware tables;
    tables.Add(0, Table({smbios_test::Battery(1, 2, 3, {"Norvane", "2307Z104512Z", "NRV-BP41A"}),
                         smbios_test::Battery(1, 2, 3, {"Acme", "S2", "Other"})}));
    CountingFirmware firmware(tables);
    cw::BatteryRecord blank = kNonTarget;
    blank.serial = L" 2307Z104512Z";
    cw::BatteryRecord failed;  // a query that failed: nothing read
    FakeDevices devices({kNonTarget, blank, failed});
    RecordingSink events;

    class Machine final : public FakeMachine {
    public:
        Machine(FakeDevices& devices, CountingFirmware& firmware, RecordingSink& events)
            : devices_(devices), firmware_(firmware), events_(events) {}
        cw::BatteryList Batteries(cw::EventSink&) override {
            return cw::EnumerateBatteries(devices_, firmware_, events_);
        }

    private:
        FakeDevices& devices_;
        CountingFirmware& firmware_;
        RecordingSink& events_;
    } machine(devices, firmware, events);

    cw::BatteryList batteries;
    EXPECT_EQ(cw::RunCheck(Silent(), batteries, machine), 0) << "the target is only in the tables";
    EXPECT_EQ(firmware.listed, 1) << "read once for two blank serials";
    EXPECT_EQ(cw::FormatCsvLine(cw::TimeStamp{2024, 5, 1, 12, 0, 0, 0}, 0, {}, batteries),
              L"2024/05/01 12:00:00.000, 0, , , NRV-BP41A, 2307Z110000Z, NRV-BP41A, 2307Z104512Z, Other, S2\r\n");

    std::vector<std::wstring> seen;
    for (const Event& e : events.events) seen.push_back(e.kind + L" " + std::to_wstring(e.id) + L" " + e.text);
    const std::wstring empty = L"ERROR 10 serial number is empty. try to use SMBIOS later\r\n";
    EXPECT_EQ(seen, (std::vector<std::wstring>{
                        L"INFORMATION 20 Name:NRV-BP41A\r\nManufacturer:Norvane\r\nSerial:2307Z110000Z\r\npath:\\\\?\\dev#0",
                        L"INFORMATION 20 Name:NRV-BP41A\r\nManufacturer:Norvane\r\nSerial: 2307Z104512Z\r\npath:\\\\?\\dev#1",
                        empty,
                        L"INFORMATION 20 Name:\r\nManufacturer:\r\nSerial:\r\npath:\\\\?\\dev#2",
                        empty,
                        L"INFORMATION 20 SMBIOS battery\r\n Name:NRV-BP41A\r\n Manufacturer:Norvane\r\n Serial:2307Z104512Z\r\n",
                        L"INFORMATION 20 SMBIOS battery\r\n Name:Other\r\n Manufacturer:Acme\r\n Serial:S2\r\n",
                    }));
}

TEST(ShowMessage, AMissingTextIsItsIdInDecimalAndAMissingCaptionIsEmpty) {
    const test_support::ScratchDir dir;
    ASSERT_TRUE(dir.ok());
    const std::wstring log = dir.File(L"event.log");
    ASSERT_TRUE(cw::EventLog::Instance().Open(log.c_str()));
    g_shown.clear();
    {
        const Replaced<cw::MessageBoxCall, &cw::UseMessageBox> box(&RecordBox);
        cw::RunSettings shown = Silent();
        shown.silent = false;
        // This test program has no string table at all: neither 131 nor 4321.
        EXPECT_EQ(cw::ShowMessage(shown, GetModuleHandleW(nullptr), 4321, MB_ICONERROR), IDRETRY);
    }
    EXPECT_FALSE(cw::EventLog::Instance().Open(L"Z:\\no\\such\\folder\\x.log"));  // lets go of the log

    ASSERT_EQ(g_shown.size(), 1u);
    EXPECT_EQ(g_shown[0].owner, nullptr);
    EXPECT_EQ(g_shown[0].text, L"4321");
    EXPECT_EQ(g_shown[0].caption, L"");
    EXPECT_EQ(g_shown[0].style, 0x10u);
    const std::wstring text = test_support::ReadUtf16File(log);
    ASSERT_GE(text.size(), 29u);
    EXPECT_EQ(text.substr(29), L", ERROR, id=4321\r\n4321\r\n");
}

TEST(RunCheck, TheTrustCheckOfTheLibraryShowsNoUiWhenSilent) {
    g_trust.clear();
    g_shown.clear();
    {
        const Replaced<cw::WinVerifyTrustCall, &cw::UseWinVerifyTrust> trust(&RecordTrust);
        const Replaced<cw::MessageBoxCall, &cw::UseMessageBox> box(&RecordBox);
        FakeMachine machine;
        cw::BatteryList batteries;
        cw::RunSettings settings = Silent();
        settings.verifySignature = true;
        EXPECT_EQ(cw::RunCheck(settings, batteries, machine), 3);
        settings.silent = false;
        EXPECT_EQ(cw::RunCheck(settings, batteries, machine), 3);
    }
    ASSERT_EQ(g_trust.size(), 2u);
    EXPECT_EQ(g_trust[0].data.dwUIChoice, 2u) << "WTD_UI_NONE when silent";
    EXPECT_EQ(g_trust[1].data.dwUIChoice, 4u) << "WTD_UI_NOGOOD otherwise";
    EXPECT_EQ(g_shown.size(), 1u) << "message 132 only when not silent";
    for (const TrustCall& call : g_trust) {
        EXPECT_EQ(call.window, INVALID_HANDLE_VALUE);
        const GUID verifyV2 = {0x00AAC56B, 0xCD44, 0x11D0, {0x8C, 0xC2, 0x00, 0xC0, 0x4F, 0xC2, 0x95, 0xEE}};
        EXPECT_TRUE(IsEqualGUID(call.action, verifyV2));
        EXPECT_EQ(call.data.cbStruct, sizeof(void*) == 4 ? 48u : 80u);
        EXPECT_EQ(call.data.fdwRevocationChecks, 0u);
        EXPECT_EQ(call.data.dwUnionChoice, 1u);
        EXPECT_EQ(call.data.dwStateAction, 0u);
        EXPECT_EQ(call.data.dwProvFlags, 0u);
        EXPECT_EQ(call.path.substr(call.path.size() - 12), L"\\battery.dll");
    }
}
