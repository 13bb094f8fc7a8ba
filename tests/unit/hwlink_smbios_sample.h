// A small SMBIOS structure table for hwlink's tests, structure by structure. No
// Windows headers.
#pragma once
#include "tests/unit/hwlink_blocks.h"

namespace hwtest::sample {

// Type 0 with two strings, an OEM type 0x85 (identifier 2, keys 1 and 7), a
// second type 0, an OEM type 0x90 (identifier 3), end of table.
inline const Block kBios{0x00, 0x06, 0x00, 0x00, 0x01, 0x02, 'N', 'v', 0, '1', 0, 0};
inline const Block kOem2{0x85, 0x08, 0x01, 0x00, 0x02, 0x01, 0x07, 0x00, 0, 0};
inline const Block kBios2{0x00, 0x04, 0x02, 0x00, 'x', 0, 0};
inline const Block kOem3{0x90, 0x07, 0x03, 0x00, 0x03, 0x55, 0x66, 0, 0};
inline const Block kEnd{0x7F, 0x04, 0x04, 0x00, 0, 0};
inline const Block kTable = hwtest::Cat({kBios, kOem2, kBios2, kOem3, kEnd});

}  // namespace hwtest::sample
