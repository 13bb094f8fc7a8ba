// Records that callers of hwlink.dll exchange with it. Callers build and read them
// by these layouts, so the layouts are part of the interface. No Windows headers.
#pragma once
#include <cstddef>
#include <cstdint>

namespace hwlink {

#pragma pack(push, 1)

// GABI_NVMISC_GetSystemInfo: output block bytes 8 to 17 of function 3.
struct NvmiscSystemInfo {
    std::uint32_t systemId;  // the platform's system identifier
    std::uint16_t second;
    std::uint32_t third;
};

// GABI_NVMISC_GetWakeupOnRTC: output block bytes 8 to 17 of function 5.
struct NvmiscWakeupRecord {
    std::uint8_t bytes[8];
    std::uint16_t word;
};

// GABI_NVMISC_SetWakeupOnRTC: placed at input block offsets 8 to 15 of function 6.
struct NvmiscWakeupSetting {
    std::uint16_t word0;
    std::uint16_t word1;
    std::uint8_t byte0;
    std::uint8_t byte1;
    std::uint8_t byte2;
    std::uint8_t byte3;
};

#pragma pack(pop)

inline constexpr std::size_t kBspfInfoSize = 4;
inline constexpr std::size_t kBspfInfoV2Size = 6;

#if defined(__i386__)
static_assert(sizeof(NvmiscSystemInfo) == 10);
static_assert(offsetof(NvmiscSystemInfo, systemId) == 0);
static_assert(offsetof(NvmiscSystemInfo, second) == 4);
static_assert(offsetof(NvmiscSystemInfo, third) == 6);
static_assert(sizeof(NvmiscWakeupRecord) == 10);
static_assert(offsetof(NvmiscWakeupRecord, word) == 8);
static_assert(sizeof(NvmiscWakeupSetting) == 8);
static_assert(offsetof(NvmiscWakeupSetting, word1) == 2);
static_assert(offsetof(NvmiscWakeupSetting, byte0) == 4);
static_assert(offsetof(NvmiscWakeupSetting, byte3) == 7);
#endif

}  // namespace hwlink
