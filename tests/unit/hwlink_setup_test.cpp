// SAPI against the fake device: the credential enter and its version fallbacks,
// the layouts of every request, what the Get exports copy, the password property
// and set-password fallbacks, and the size limits of the 512-byte input block.
#include <gtest/gtest.h>

#include <string>

#include "tests/unit/hwlink_fake_device.h"

using hwtest::Block;
using hwtest::FakeDevice;
using hwtest::Get16;
using hwtest::Get32;
using hwtest::SentCall;

namespace {

constexpr std::uint16_t kSapi = 2;
constexpr std::uint16_t kUnset = 0xEEEE;
const std::string kSecret = "pw1";

Block Bytes(const SentCall& call, std::size_t from, std::size_t to) {
    return Block(call.input.begin() + from, call.input.begin() + to);
}

class HwlinkSetup : public ::testing::Test {
protected:
    void SetUp() override { device.directorySize[kSapi] = 40; }

    // Default-values property through the _V2 form: the simplest request that enters.
    std::uint32_t Defaults(std::uint32_t mode = 1, const std::string& credential = kSecret) {
        return GABI_SAPI_GetDefaultValuesProperty_V2(7, mode, credential.data(),
                                                     static_cast<std::uint32_t>(credential.size()), &w8, &w10, &s[0],
                                                     &s[1], &s[2], &s[3]);
    }
    std::vector<const hwtest::SentCall*> Enters() const {
        std::vector<const hwtest::SentCall*> out;
        for (const auto& c : device.calls)
            if (c.serviceClass == kSapi && c.function == 1) out.push_back(&c);
        return out;
    }
    const hwtest::SentCall& Function() const { return device.calls.at(device.calls.size() - 2); }

    FakeDevice device;
    std::uint16_t w8 = kUnset, w10 = kUnset;
    std::uint16_t s[4] = {kUnset, kUnset, kUnset, kUnset};
};

}  // namespace

TEST_F(HwlinkSetup, TheCredentialEnterVersionOneLayoutAndTheSessionCalls) {
    device.On(kSapi, 3) = {1, 1, 3, 4, hwtest::Le16({0x0A0B, 0x0C0D})};
    ASSERT_EQ(Defaults(), 0u);
    EXPECT_EQ(w8, 0x0A0B);
    EXPECT_EQ(w10, 0x0C0D);
    EXPECT_EQ((std::vector<std::uint16_t>(s, s + 4)), (std::vector<std::uint16_t>{1, 1, 3, 4}));
    ASSERT_EQ(device.Functions(), (std::vector<std::uint16_t>{0, 1, 3, 2}));
    const SentCall& enter = device.calls[1];
    EXPECT_EQ(enter.version, 1);
    EXPECT_EQ(Bytes(enter, 0, 16), (Block{0x00, 0x02, 1, 0, 0, 0, 0, 0, 7, 0, 3, 0, 'p', 'w', '1', 0}));
    EXPECT_EQ(enter.category, 1);
    EXPECT_EQ(device.calls[2].category, 5);
    EXPECT_EQ(device.calls[3].category, 1);
    EXPECT_EQ(device.calls[3].version, 1);
    EXPECT_EQ(device.calls[3].handle, FakeDevice::kHandle);
}

TEST_F(HwlinkSetup, TheCredentialEnterFallsBackAsTheFirmwareAsks) {
    struct Row {
        const char* what;
        std::uint32_t mode;
        std::string credential;
        std::vector<FakeDevice::Answer> v1, v2;  // answers in order
        std::vector<std::uint16_t> versions;
        std::uint32_t result;
    };
    FakeDevice::Answer wantsOther{1, 0x101}, wantsEmpty{1, 0x109}, refused{1, 7}, ok{};
    FakeDevice::Answer noHandle{1, 1, 0, 0, Block(4, 0), 4};
    FakeDevice::Answer unsent;
    unsent.fails = true;
    const Row rows[] = {
        {"version 1 refused otherwise decides", 1, kSecret, {refused}, {}, {1}, 0x2D000},
        {"version 1 asks for version 2", 1, kSecret, {wantsOther}, {ok}, {1, 2}, 0},
        {"version 1 unsent: version 2", 1, kSecret, {unsent}, {ok}, {1, 2}, 0},
        {"version 2 unsent ends the enter", 1, kSecret, {wantsOther}, {unsent}, {1, 2}, 0x2D000},
        {"version 2 without handle: version 1 again", 1, kSecret, {wantsOther, ok}, {noHandle}, {1, 2, 1}, 0},
        {"version 2 asks for version 1 again", 1, kSecret, {wantsOther, refused}, {wantsOther}, {1, 2, 1}, 0x2D000},
        {"empty credential wanted, given empty", 1, "", {wantsOther}, {wantsEmpty, ok}, {1, 2, 2}, 0},
        {"empty credential wanted, given one", 1, kSecret, {wantsOther}, {wantsEmpty}, {1, 2}, 0x2D000},
        {"mode 2 starts with version 2, no fallback", 2, kSecret, {}, {wantsOther}, {2}, 0x2D000},
    };
    for (const Row& row : rows) {
        FakeDevice device;
        device.directorySize[kSapi] = 40;
        for (const auto& a : row.v1) device.Then(kSapi, 1, 1) = a;
        for (const auto& a : row.v2) device.Then(kSapi, 1, 2) = a;
        const std::uint32_t result = GABI_SAPI_GetDefaultValuesProperty_V2(
            7, row.mode, row.credential.data(), static_cast<std::uint32_t>(row.credential.size()), &w8, &w10,
            &s[0], &s[1], &s[2], &s[3]);
        EXPECT_EQ(result, row.result) << row.what;
        std::vector<std::uint16_t> versions;
        for (const auto& c : device.calls)
            if (c.serviceClass == kSapi && c.function == 1) versions.push_back(c.version);
        EXPECT_EQ(versions, row.versions) << row.what;
    }
}

TEST_F(HwlinkSetup, VersionTwoEnterLayoutReusesTheOutputAndTheEmptyCredentialRetryUsesMode2) {
    device.Then(kSapi, 1, 1) = {1, 0x101, 0, 0, {0x77}, 20};
    device.Then(kSapi, 1, 2) = {1, 0x109};
    ASSERT_EQ(Defaults(1, std::string("\0x", 2)), 0u);  // a first byte of 0 is empty
    const auto enters = Enters();
    ASSERT_EQ(enters.size(), 3u);
    // Version 2: kind at 8, mode at 10, the length unaligned at 11, bytes from 13.
    EXPECT_EQ(Bytes(*enters[1], 8, 16), (Block{7, 0, 1, 2, 0, 0, 'x', 0}));
    EXPECT_EQ(enters[1]->output[20], 0x77);  // kept from the version 1 reply
    EXPECT_EQ(Bytes(*enters[2], 8, 13), (Block{7, 0, 2, 0, 0}));
    EXPECT_EQ(enters[2]->output[20], 0);
}

TEST_F(HwlinkSetup, SetupItemsAndBootOrderTravelAtTheirOffsetsAndFitTheInputBlock) {
    const Block item(496, 0x5A);
    ASSERT_EQ(GABI_SAPI_SetBIOSSetupItem(0x31, 0x32, item.data(), 496, 7, kSecret.data(), 3, &s[0], &s[1], &s[2],
                                         &s[3]),
              0u);
    EXPECT_EQ(Function().function, 4);
    EXPECT_EQ(Function().category, 1);
    EXPECT_EQ(Bytes(Function(), 8, 16), (Block{0x31, 0, 0x32, 0, 0xF0, 0x01, 0x5A, 0x5A}));
    EXPECT_EQ(Function().input[509], 0x5A);

    const Block order(500, 0x5A);
    ASSERT_EQ(GABI_SAPI_SetBootOrder_V2(0x41, 0x42, order.data(), 500, 7, 1, kSecret.data(), 3, &s[0], &s[1],
                                        &s[2], &s[3]),
              0u);
    EXPECT_EQ(Function().category, 2);
    EXPECT_EQ(Bytes(Function(), 8, 13), (Block{0x41, 0, 0x42, 0, 0x5A}));  // no length word
    EXPECT_EQ(Function().input[511], 0x5A);

    device.calls.clear();
    const Block big(501, 1);
    EXPECT_EQ(GABI_SAPI_SetBootOrder(1, 2, big.data(), 501, 7, kSecret.data(), 3, &s[0], &s[1], &s[2], &s[3]),
              0x10019u);
    EXPECT_EQ(GABI_SAPI_SetBIOSSetupItem(1, 2, big.data(), 497, 7, kSecret.data(), 3, &s[0], &s[1], &s[2], &s[3]),
              0x10019u);
    const std::string longCredential(500, 'c');
    EXPECT_EQ(Defaults(1, longCredential), 0x10019u);
    EXPECT_EQ(device.Functions(), (std::vector<std::uint16_t>{0, 0, 0}));  // after the directory, never entered
    EXPECT_EQ(s[0], 0);

    s[0] = kUnset;
    EXPECT_EQ(GABI_SAPI_SetBootOrder(1, 2, nullptr, 4, 7, kSecret.data(), 3, &s[0], &s[1], &s[2], &s[3]), 0x10002u);
    EXPECT_EQ(GABI_SAPI_SetBootOrder(1, 2, big.data(), 0x10000, 7, kSecret.data(), 3, &s[0], &s[1], &s[2], &s[3]),
              0x10002u);  // the length's low 16 bits are 0
    EXPECT_EQ(GABI_SAPI_SetBootOrder(1, 2, big.data(), 4, 7, nullptr, 3, &s[0], &s[1], &s[2], &s[3]), 0x10002u);
    EXPECT_EQ(s[0], kUnset);  // refused before the outputs are zeroed
}

TEST_F(HwlinkSetup, GetsCopyTheirWordsAndAsMuchDataAsBothSidesHold) {
    device.On(kSapi, 3) = {1, 1, 0, 0,
                           hwtest::Cat({hwtest::Le16({0x81, 0x82, 0x83, 0x84}), hwtest::Le32({0x12345678}),
                                        Block{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}})};
    std::uint16_t w[4] = {kUnset, kUnset, kUnset, kUnset};
    std::uint32_t w16 = 0;
    Block buffer(32, 0xCC);
    ASSERT_EQ(GABI_SAPI_GetBIOSSetupItem(0x33, 7, kSecret.data(), 3, &w[0], nullptr, &w[2], &w[3], &w16,
                                         buffer.data(), 0x10020, &s[0], &s[1], &s[2], &s[3]),
              0u);
    EXPECT_EQ(Get16(Function().input, 8), 0x33);
    EXPECT_EQ(w[0], 0x81);
    EXPECT_EQ(w[1], kUnset);
    EXPECT_EQ(w[3], 0x84);
    EXPECT_EQ(w16, 0x12345678u);
    // 40-byte output: 20 data bytes after offset 20, though the buffer takes 32.
    EXPECT_EQ(buffer[19], 20);
    EXPECT_EQ(buffer[20], 0xCC);

    Block four(8, 0xCC);
    ASSERT_EQ(GABI_SAPI_GetBootOrder(0x44, 7, kSecret.data(), 3, four.data(), 4, &w8, &w10, &s[0], &s[1], &s[2],
                                     &s[3]),
              0u);
    EXPECT_EQ(Get16(Function().input, 8), 0x44);
    EXPECT_EQ(w8, 0x81);
    EXPECT_EQ(four, (Block{0x83, 0, 0x84, 0, 0xCC, 0xCC, 0xCC, 0xCC}));

    ASSERT_EQ(GABI_SAPI_SetDefaultValuesProperty(0x10009, 7, kSecret.data(), 3, &s[0], &s[1], &s[2], &s[3]), 0u);
    EXPECT_EQ(Function().category, 5);
    EXPECT_EQ(Get16(Function().input, 8), 9);

    device.directorySize[kSapi] = 19;  // smaller than the item's data offset
    EXPECT_EQ(GABI_SAPI_GetBIOSSetupItem(0x33, 7, kSecret.data(), 3, nullptr, nullptr, nullptr, nullptr, nullptr,
                                         buffer.data(), 4, &s[0], &s[1], &s[2], &s[3]),
              0x10002u);
    EXPECT_EQ(GABI_SAPI_GetBootOrder(0x44, 7, kSecret.data(), 3, nullptr, 4, &w8, &w10, &s[0], &s[1], &s[2], &s[3]),
              0x10002u);
}

TEST_F(HwlinkSetup, PasswordPropertyWalksVersionsOneThreeOneTwo) {
    device.Then(kSapi, 3, 1) = {1, 0x101};
    device.Then(kSapi, 3, 3) = {1, 0x105, 0, 2};
    device.Then(kSapi, 3, 1) = {1, 0x101};
    device.On(kSapi, 3, 2) = {1, 1, 0, 0, {0xE1, 0xE2, 0xE3}};
    Block buffer(3, 0xCC);
    ASSERT_EQ(GABI_SAPI_GetPasswordProperty_V3(7, 5, 0x66, 1, kSecret.data(), 3, buffer.data(), 3, &s[0], &s[1],
                                               &s[2], &s[3]),
              0u);
    EXPECT_EQ(buffer, (Block{0xE1, 0xE2, 0xE3}));
    std::vector<Block> sent;
    for (const auto& c : device.calls)
        if (c.function == 3 && c.serviceClass == kSapi) sent.push_back(Bytes(c, 2, 14));
    ASSERT_EQ(sent.size(), 4u);
    const Block handle = hwtest::Le32({FakeDevice::kHandle});
    // Version, handle, then kind (5, or 4 in version 2), selector, qualifier. The
    // block is never cleared: what the enter's credential and the selector put
    // there stays until overwritten.
    EXPECT_EQ(sent[0], hwtest::Cat({{1, 0}, handle, {5, 0, 3, 0, 'p', 'w'}}));
    EXPECT_EQ(sent[1], hwtest::Cat({{3, 0}, handle, {5, 0, 0x66, 0, 'p', 'w'}}));
    EXPECT_EQ(sent[2], hwtest::Cat({{1, 0}, handle, {5, 0, 0x66, 0, 'p', 'w'}}));
    EXPECT_EQ(sent[3], hwtest::Cat({{2, 0}, handle, {4, 0, 0x66, 0, 2, 0}}));

    // The plain form uses the credential kind as the password kind, selector 0;
    // a version 3 answer that asks nothing decides.
    device.calls.clear();
    device.answers.clear();
    device.Then(kSapi, 3, 1) = {1, 0x101};
    device.On(kSapi, 3, 3) = {1, 9};
    EXPECT_EQ(GABI_SAPI_GetPasswordProperty(6, kSecret.data(), 3, buffer.data(), 3, &s[0], &s[1], &s[2], &s[3]),
              0x2E000u);
    EXPECT_EQ(s[1], 9);
    EXPECT_EQ(Bytes(device.calls.at(3), 8, 12), (Block{6, 0, 0, 0}));
    EXPECT_EQ(device.Functions(), (std::vector<std::uint16_t>{0, 1, 3, 3, 2}));
}

TEST_F(HwlinkSetup, SetPasswordLayoutsAndFallbacks) {
    const std::string current = "old", next = "newpw";
    ASSERT_EQ(GABI_SAPI_SetPassword(7, 3, 0x22, 3, current.data(), 5, next.data(), &s[0], &s[1], &s[2], &s[3]), 0u);
    // The current password is the credential too.
    EXPECT_EQ(Bytes(device.calls.at(1), 8, 15), (Block{7, 0, 3, 0, 'o', 'l', 'd'}));
    // Version 3: kind, second, third word, mode, then each string after its unaligned length.
    EXPECT_EQ(Function().version, 3);
    EXPECT_EQ(Function().category, 3);
    EXPECT_EQ(Bytes(Function(), 8, 29), (Block{3, 0, 0x22, 0, 0, 0, 1, 3, 0, 'o', 'l', 'd', 5, 0, 'n', 'e', 'w',
                                               'p', 'w', 0, 0}));

    device.calls.clear();
    device.Then(kSapi, 4, 3) = {1, 0x101};
    ASSERT_EQ(GABI_SAPI_SetPassword2(7, 3, kSecret.data(), 3, 0x22, 3, current.data(), 5, next.data(), &s[0],
                                     &s[1], &s[2], &s[3]),
              0u);
    const SentCall& v1 = Function();
    EXPECT_EQ(v1.version, 1);
    EXPECT_EQ(Bytes(v1, 8, 23), (Block{3, 0, 0x22, 0, 3, 0, 'o', 'l', 'd', 5, 0, 'n', 'e', 'w', 'p'}));

    device.calls.clear();
    device.Then(kSapi, 4, 3) = {1, 0x109};
    ASSERT_EQ(GABI_SAPI_SetPassword_V3(7, 1, 3, kSecret.data(), 3, 0x22, 0x33, 1, 0, nullptr, 1, "", &s[0], &s[1],
                                       &s[2], &s[3]),
              0u);
    EXPECT_EQ(Function().version, 3);
    EXPECT_EQ(Bytes(Function(), 12, 19), (Block{0x33, 0, 2, 0, 0, 0, 0}));  // mode 2, both lengths 0

    device.calls.clear();
    device.Then(kSapi, 4, 3) = {1, 0x101};
    EXPECT_EQ(GABI_SAPI_SetPassword_V3(7, 1, 3, kSecret.data(), 3, 0x22, 0x33, 2, 3, "old", 3, "new", &s[0], &s[1],
                                       &s[2], &s[3]),
              0x2E000u);  // no fallback outside mode 1
    EXPECT_EQ(s[1], 0x101);

    const std::string half(247, 'h');
    EXPECT_EQ(GABI_SAPI_SetPassword(7, 3, 0, 247, half.data(), 247, half.data(), &s[0], &s[1], &s[2], &s[3]),
              0x10019u);  // 494 bytes of strings
    EXPECT_EQ(GABI_SAPI_SetPassword(7, 3, 0, 3, current.data(), 5, nullptr, &s[0], &s[1], &s[2], &s[3]), 0x10002u);
}
