// hwlink's pure byte work: checked fields, GABI blocks and both frame layouts, and
// the SMBIOS structure search on raw tables. No Windows headers: these suites also
// run natively under the sanitizers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "hwlink/frame/bytes.h"
#include "hwlink/frame/gabi_layout.h"
#include "hwlink/frame/smbios_search.h"
#include "tests/unit/hwlink_blocks.h"
#include "tests/unit/hwlink_smbios_sample.h"

using hwlink::Bytes;
namespace gabi = hwlink::gabi;
namespace smbios = hwlink::smbios;
using hwtest::Block;
using hwtest::Get16;
using hwtest::Get32;
using namespace hwtest::sample;

namespace {

Bytes Span(Block& b) { return Bytes(b.data(), b.size()); }

smbios::StructureKey ByType(std::uint8_t type) {
    smbios::StructureKey key;
    key.type = type;
    return key;
}
smbios::StructureKey Oem(std::uint8_t id, std::uint8_t key1 = 0, std::uint8_t key2 = 0) {
    smbios::StructureKey key;
    key.oem = true;
    key.identifier = id;
    key.key1 = key1;
    key.key2 = key2;
    return key;
}

}  // namespace

TEST(HwlinkBytes, FieldsAreLittleEndianAndStayInsideTheSpan) {
    Block b(6, 0x11);
    const Bytes s = Span(b);
    EXPECT_TRUE(s.Put32(2, 0xA1B2C3D4));
    EXPECT_EQ(b, (Block{0x11, 0x11, 0xD4, 0xC3, 0xB2, 0xA1}));
    EXPECT_FALSE(s.Put32(3, 0));  // one byte past the end: nothing written
    EXPECT_FALSE(s.Put16(5, 0));
    EXPECT_FALSE(s.Put8(6, 0));
    EXPECT_EQ(b, (Block{0x11, 0x11, 0xD4, 0xC3, 0xB2, 0xA1}));
    std::uint16_t w = 0;
    std::uint32_t v = 0;
    EXPECT_TRUE(s.Get16(4, w));
    EXPECT_EQ(w, 0xA1B2);
    EXPECT_FALSE(s.Get32(3, v));
    EXPECT_FALSE(s.Get16(SIZE_MAX, w));  // no wrap-around
    EXPECT_FALSE(s.Write(SIZE_MAX - 1, b.data(), 4));
    EXPECT_FALSE(s.Sub(4, 3).data());
    EXPECT_EQ(s.Sub(4, 2).size(), 2u);
}

TEST(HwlinkBlocks, HeadersAreWrittenOverZeroedBlocks) {
    Block control(gabi::kControlBlockSize, 0xFF), input(gabi::kInputBlockSize, 0xFF), output(40, 0xFF);
    ASSERT_TRUE(gabi::InitControlBlock(Span(control), 0x8001, 3, 5));
    ASSERT_TRUE(gabi::InitInputBlock(Span(input), 2, 0xCAFEF00D));
    ASSERT_TRUE(gabi::InitOutputBlock(Span(output), 1));
    EXPECT_EQ(Get16(control, 0), 0x0400);
    EXPECT_EQ(Get16(control, 2), 0x8001);
    EXPECT_EQ(Get16(control, 4), 3);
    EXPECT_EQ(Get16(control, 12), 5);
    for (std::size_t i : {6u, 8u, 10u, 14u}) EXPECT_EQ(Get16(control, i), 0) << i;
    EXPECT_EQ(Get16(input, 0), 512);
    EXPECT_EQ(Get16(input, 2), 2);
    EXPECT_EQ(Get32(input, 4), 0xCAFEF00Du);
    EXPECT_EQ(Get16(output, 0), 40);
    EXPECT_EQ(Get16(output, 2), 1);
    EXPECT_EQ(std::count(control.begin() + 16, control.end(), 0), 1024 - 16);
    EXPECT_EQ(std::count(input.begin() + 8, input.end(), 0), 512 - 8);
    EXPECT_EQ(std::count(output.begin() + 4, output.end(), 0), 40 - 4);
}

TEST(HwlinkBlocks, BlocksTooShortForTheirHeaderOrTooLongForTheLengthWordAreRefused) {
    Block small(7, 0xFF), big(0x10000, 0);
    EXPECT_FALSE(gabi::InitInputBlock(Span(small), 1, 0));
    EXPECT_FALSE(gabi::InitOutputBlock(Span(small), 0));
    EXPECT_EQ(small, Block(7, 0xFF));
    EXPECT_FALSE(gabi::InitControlBlock(Bytes(big.data(), 15), 1, 1));
    EXPECT_FALSE(gabi::InitOutputBlock(Span(big), 0));
    EXPECT_TRUE(gabi::InitOutputBlock(Bytes(big.data(), 0xFFFF), 0));
}

TEST(HwlinkFrames, GabiFrameIsHeaderThenControlInputOutput) {
    Block c{4, 0, 0xC1, 0xC2}, i{3, 0, 0x11}, o{2, 0};
    Block frame(gabi::FrameSize(c.size(), i.size(), o.size()), 0xEE);
    ASSERT_EQ(frame.size(), 15u);
    ASSERT_TRUE(gabi::PackFrame(Span(frame), Span(c), Span(i), Span(o)));
    EXPECT_EQ(frame, (Block{4, 0, 3, 0, 2, 0, 4, 0, 0xC1, 0xC2, 3, 0, 0x11, 2, 0}));

    // The driver's reply: the blocks come back by the sizes sent, whatever the
    // reply's header words claim.
    frame[0] = 0xFF;
    frame[9] = 0x77;
    frame[12] = 0x66;
    frame[14] = 0x55;
    ASSERT_TRUE(gabi::UnpackFrame(Span(frame), Span(c), Span(i), Span(o)));
    EXPECT_EQ(c, (Block{4, 0, 0xC1, 0x77}));
    EXPECT_EQ(i, (Block{3, 0, 0x66}));
    EXPECT_EQ(o, (Block{2, 0x55}));

    Block wrong(14);
    EXPECT_FALSE(gabi::PackFrame(Span(wrong), Span(c), Span(i), Span(o)));
    EXPECT_FALSE(gabi::UnpackFrame(Span(wrong), Span(c), Span(i), Span(o)));
}

TEST(HwlinkFrames, ExtendedFrameCarriesA32BitExtraLengthAndZerosWithoutExtra) {
    Block c{2, 0}, i{2, 0}, o{2, 0}, extra{0xE1, 0xE2, 0xE3};
    Block frame(gabi::ExtendedFrameSize(2, 2, 2, 3), 0xEE);
    ASSERT_EQ(frame.size(), 19u);
    ASSERT_TRUE(gabi::PackExtendedFrame(Span(frame), Span(c), Span(i), Span(o), Bytes(), 3));
    EXPECT_EQ(frame, (Block{2, 0, 2, 0, 2, 0, 3, 0, 0, 0, 2, 0, 2, 0, 2, 0, 0, 0, 0}));
    ASSERT_TRUE(gabi::PackExtendedFrame(Span(frame), Span(c), Span(i), Span(o), Span(extra), 3));
    EXPECT_EQ(Block(frame.end() - 3, frame.end()), extra);
    frame[18] = 0x99;
    ASSERT_TRUE(gabi::UnpackExtendedFrame(Span(frame), Span(c), Span(i), Span(o), Span(extra), 3));
    EXPECT_EQ(extra, (Block{0xE1, 0xE2, 0x99}));

    EXPECT_EQ(gabi::ExtendedFrameSize(0xFFFF, 0xFFFF, 0xFFFF, 0xFFFFFFFF), 0u);  // past 32 bits
    EXPECT_EQ(gabi::FrameSize(0x10000, 0, 0), 0u);
}

TEST(HwlinkSmbiosSearch, FindsTheFirstMatchWithItsStringsAndBothZeros) {
    struct Case {
        const char* what;
        Block table;
        smbios::StructureKey key;
        bool found;
        std::size_t start, length;
    };
    const Case cases[] = {
        {"type 0 first", kTable, ByType(0), true, 0, 12},
        {"first of two occurrences", kTable, ByType(0), true, 0, 12},
        {"a later type", kTable, ByType(0x7F), true, 38, 6},
        {"absent type", kTable, ByType(4), false, 0, 0},
        {"OEM 2 with both keys", kTable, Oem(2, 1, 7), true, 12, 10},
        {"OEM 2, key 2 differs", kTable, Oem(2, 1, 8), false, 0, 0},
        {"OEM 3 ignores the keys", kTable, Oem(3, 9, 9), true, 29, 9},
        {"byte 4 of a type below 0x80 is no OEM identifier", kTable, Oem(1), false, 0, 0},
        {"identifier and keys past a short structure are not its own",
         hwtest::Cat({Block{0x85, 0x02, 0, 0}, Block{0x02, 0x04, 0, 0, 0, 0}}), Oem(2, 4, 0), false, 0, 0},
        {"unterminated strings end the walk", hwtest::Cat({kBios, Block{0x01, 0x04, 0, 0, 'a', 0}}), ByType(1),
         false, 0, 0},
        {"formatted length past the end", Block{0x00, 0xF0, 0, 0, 0, 0}, ByType(0), false, 0, 0},
        {"empty table", Block{}, ByType(0), false, 0, 0},
        {"one byte", Block{0x00}, ByType(0), false, 0, 0},
    };
    for (const Case& c : cases) {
        Block table = c.table;
        smbios::Found found;
        EXPECT_EQ(smbios::FindStructure(hwlink::Bytes(table.data(), table.size()), c.key, found), c.found) << c.what;
        if (c.found) {
            EXPECT_EQ(found.start, c.start) << c.what;
            EXPECT_EQ(found.length, c.length) << c.what;
        }
    }
}
