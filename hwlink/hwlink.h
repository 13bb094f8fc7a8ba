// The exports of hwlink.dll built so far: driver service, GABI call path, NVMISC.
// Callers bind them by name at run time; names, calling conventions, the records
// of records.h and the status codes of frame/status.h are the contract.
#pragma once
#include <cstdint>

#include "hwlink/frame/status.h"
#include "hwlink/records.h"

#define HWLINK_STDCALL __stdcall
#define HWLINK_CDECL __cdecl

extern "C" {

// Driver service and device channel.
std::uint32_t HWLINK_CDECL KernelDrv_Install(void);
std::uint32_t HWLINK_CDECL KernelDrv_UnInstall(void);
std::uint32_t HWLINK_STDCALL KernelDrv_Install_Test(const char* directory, std::uint32_t startType);
std::uint32_t HWLINK_STDCALL KernelDrv_UnInstall_Test(const char* directory);
std::uint32_t HWLINK_STDCALL GetDriverVersion(std::uint32_t* first, std::uint32_t* second);

// GABI call path. Every block passed in starts with its own 16-bit length word.
std::uint32_t HWLINK_STDCALL CheckGABI(std::uint32_t* present);
std::uint32_t HWLINK_STDCALL GetGABIEntry(void* buffer, std::uint32_t length);
std::uint32_t HWLINK_STDCALL CallGABIService(void* input, void* output, void* control);
std::uint32_t HWLINK_STDCALL CallGABIService_SingleBuf(std::uint32_t code, void* buffer, std::uint32_t length);
std::uint32_t HWLINK_STDCALL CallGABIService_4buf(std::uint32_t code, void* input, void* output, void* control,
                                                  void* extra, std::uint32_t extraLength);
std::uint32_t HWLINK_STDCALL _CallServiceInterface(std::uint32_t serviceClass, void* directoryReply,
                                                   void* control);
std::uint32_t HWLINK_STDCALL _CallEnter(std::uint32_t serviceClass, void* input, std::uint32_t inputLength,
                                        void* output, std::uint32_t outputLength, void* control,
                                        std::uint32_t controlLength);
std::uint32_t HWLINK_STDCALL _CallExit(std::uint32_t serviceClass, std::uint32_t handle, void* input,
                                       std::uint32_t inputLength, void* output, std::uint32_t outputLength,
                                       void* control, std::uint32_t controlLength);

// NVMISC services (GABI class 0x8001). Status outputs may be null.
std::uint32_t HWLINK_STDCALL GABI_NVMISC_GetSystemInfo(hwlink::NvmiscSystemInfo* info, std::uint16_t* status1,
                                                       std::uint16_t* status2, std::uint16_t* status3);
std::uint32_t HWLINK_STDCALL GABI_NVMISC_SetMessageIndicator(std::uint32_t indicator, std::uint16_t* status1,
                                                             std::uint16_t* status2, std::uint16_t* status3);
std::uint32_t HWLINK_STDCALL GABI_NVMISC_GetWakeupOnRTC(hwlink::NvmiscWakeupRecord* record,
                                                        std::uint16_t* status1, std::uint16_t* status2,
                                                        std::uint16_t* status3);
std::uint32_t HWLINK_STDCALL GABI_NVMISC_SetWakeupOnRTC(const hwlink::NvmiscWakeupSetting* setting,
                                                        std::uint16_t* status1, std::uint16_t* status2,
                                                        std::uint16_t* status3);
std::uint32_t HWLINK_STDCALL GABI_NVMISC_GetBspfInfo(std::uint8_t* info, std::uint16_t* status1,
                                                     std::uint16_t* status2);
std::uint32_t HWLINK_STDCALL GABI_NVMISC_GetBspfInfo_V2(std::uint8_t* info, std::uint16_t* status1,
                                                        std::uint16_t* status2);
std::uint32_t HWLINK_STDCALL GABI_NVMISC_SetBspfCommand(const void* data, std::uint32_t length,
                                                        std::uint16_t* status1, std::uint16_t* status2);

}  // extern "C"
