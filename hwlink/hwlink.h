/* hwlink.dll, the firmware bridge library: its 65 exports, the records callers
 * exchange with it and the status codes every export returns. Plain C; callers
 * bind the exports by name at run time, so names, calling conventions, record
 * layouts and status codes are the contract. Each export has a function-pointer
 * type PFN_<export> for GetProcAddress. Records are laid out for 32-bit callers
 * (i686); pointers in them are the caller's own width. Texts are 8-bit, names of
 * NVRAM items UTF-16LE, GUIDs 16 raw bytes. */
#ifndef HWLINK_HWLINK_H
#define HWLINK_HWLINK_H

#include <stdint.h>

#if defined(_WIN32)
#define HWLINK_STDCALL __stdcall
#define HWLINK_CDECL __cdecl
#else
#define HWLINK_STDCALL
#define HWLINK_CDECL
#endif

/* Status codes. */
#define HWLINK_OK 0x00000u
#define HWLINK_CHANNEL_BUSY 0x10001u          /* the device channel is already open; nothing was done */
#define HWLINK_INVALID_ARGUMENT 0x10002u      /* null pointer, zero length, value outside the accepted set */
#define HWLINK_DEVICE_UNAVAILABLE 0x10003u    /* "\\.\KHWPORT" could not be opened */
#define HWLINK_CLOSE_FAILED 0x10004u          /* closing the channel failed; the handle stays stored */
#define HWLINK_REQUEST_FAILED 0x10005u        /* the device request failed */
#define HWLINK_REPLY_SIZE 0x10006u            /* the driver returned another byte count than expected */
#define HWLINK_BUFFER_TOO_SMALL 0x10007u      /* the caller's buffer or record cannot take the data */
#define HWLINK_ALLOC_FAILED 0x10008u
#define HWLINK_LOCK_FAILED 0x10009u
#define HWLINK_STRUCT_NOT_FOUND 0x1000Au      /* no such SMBIOS or OEM structure */
#define HWLINK_GABI_ABSENT 0x1000Bu           /* the firmware has no GABI service interface */
#define HWLINK_SCM_UNAVAILABLE 0x1000Cu
#define HWLINK_SERVICE_OPEN_FAILED 0x1000Du
#define HWLINK_SERVICE_STOP_FAILED 0x1000Eu
#define HWLINK_SERVICE_DELETE_FAILED 0x1000Fu
#define HWLINK_DRIVER_FILE_MISSING 0x10010u   /* no KHWPORT.SYS in the current directory */
#define HWLINK_DRIVER_COPY_FAILED 0x10011u
#define HWLINK_SERVICE_CREATE_FAILED 0x10012u
#define HWLINK_SERVICE_START_FAILED 0x10013u
#define HWLINK_INSTALLED_NEWER 0x10014u       /* the service exists; the installed file is newer */
#define HWLINK_INSTALLED_OLDER 0x10015u
#define HWLINK_INSTALLED_SAME 0x10016u
#define HWLINK_VERSION_UNREADABLE 0x10017u
#define HWLINK_REQUEST_TOO_LARGE 0x10019u     /* data does not fit one firmware block, or a reply overruns its block */
#define HWLINK_FIRMWARE_BASE 0x20000u         /* + a firmware status word; alone: the status words refused */
#define HWLINK_ENTER_FAILED 0x2D000u          /* the enter, function or exit call of a service call failed */
#define HWLINK_FUNCTION_FAILED 0x2E000u
#define HWLINK_EXIT_FAILED 0x2F000u
#define HWLINK_RESULT_ALLOC_FAILED 0xFFFFu    /* the record array of a device firmware query */

/* Records. */
#pragma pack(push, 1)
/* GABI_NVMISC_GetSystemInfo: output block bytes 8 to 17 of function 3. */
typedef struct NvmiscSystemInfo {
    uint32_t systemId; /* the platform's system identifier */
    uint16_t second;
    uint32_t third;
} NvmiscSystemInfo;

/* GABI_NVMISC_GetWakeupOnRTC: output block bytes 8 to 17 of function 5. */
typedef struct NvmiscWakeupRecord {
    uint8_t bytes[8];
    uint16_t word;
} NvmiscWakeupRecord;

/* GABI_NVMISC_SetWakeupOnRTC: input block offsets 8 to 15 of function 6. */
typedef struct NvmiscWakeupSetting {
    uint16_t word0;
    uint16_t word1;
    uint8_t byte0;
    uint8_t byte1;
    uint8_t byte2;
    uint8_t byte3;
} NvmiscWakeupSetting;
#pragma pack(pop)

#define HWLINK_BSPF_INFO_SIZE 4
#define HWLINK_BSPF_INFO_V2_SIZE 6

/* The NVRAM store's header record: 32 bytes for type 1, 44 + 4k for type 2, whose
 * k extra 32-bit words follow extraCount. size is the header's size on the wire. */
typedef struct NvramHeader {
    uint16_t size;
    uint16_t type;         /* 1 or 2 */
    uint8_t fields[36];    /* type 1: the first 28 bytes */
    uint32_t extraCount;   /* type 2 only: k */
} NvramHeader;

#define HWLINK_NVRAM_HEADER1_SIZE 32

/* One NVRAM item (48 bytes on i686). Only the low 32 bits of the sizes count for
 * copying; the high words travel unchanged. Items a get returns point into the
 * block returned with them. */
typedef struct NvramEntry {
    uint8_t guid[16];
    uint32_t attributes;
    uint16_t* name;        /* UTF-16LE */
    uint64_t nameSize;     /* bytes */
    uint8_t* data;
    uint32_t unused;
    uint64_t dataSize;     /* bytes */
} NvramEntry;

/* One device firmware entry (40 bytes). */
typedef struct DeviceFirmwareRecord {
    uint8_t guid[16];
    uint16_t word;
    uint8_t padding1[6];
    uint64_t value64;
    uint32_t value32;
    uint8_t padding2[4];
} DeviceFirmwareRecord;

#define HWLINK_MAX_DEVICE_FIRMWARE_RECORDS 33

#ifdef __cplusplus
extern "C" {
#endif

/* Declares an export and its function-pointer type PFN_<name>. */
#define HWLINK_EXPORT(ret, convention, name, parameters) \
    ret convention name parameters;                      \
    typedef ret(convention* PFN_##name) parameters;

/* Driver service and device channel. KernelDrv_Install takes KHWPORT.SYS from the
 * current directory. */
HWLINK_EXPORT(uint32_t, HWLINK_CDECL, KernelDrv_Install, (void))
HWLINK_EXPORT(uint32_t, HWLINK_CDECL, KernelDrv_UnInstall, (void))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, KernelDrv_Install_Test, (const char* directory, uint32_t startType))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, KernelDrv_UnInstall_Test, (const char* directory))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GetDriverVersion, (uint32_t* first, uint32_t* second))

/* GABI call path. Every block passed in starts with its own 16-bit length word. */
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, CheckGABI, (uint32_t* present))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GetGABIEntry, (void* buffer, uint32_t length))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, CallGABIService, (void* input, void* output, void* control))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, CallGABIService_SingleBuf, (uint32_t code, void* buffer, uint32_t length))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, CallGABIService_4buf,
              (uint32_t code, void* input, void* output, void* control, void* extra, uint32_t extraLength))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, _CallServiceInterface,
              (uint32_t serviceClass, void* directoryReply, void* control))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, _CallEnter,
              (uint32_t serviceClass, void* input, uint32_t inputLength, void* output, uint32_t outputLength,
               void* control, uint32_t controlLength))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, _CallExit,
              (uint32_t serviceClass, uint32_t handle, void* input, uint32_t inputLength, void* output,
               uint32_t outputLength, void* control, uint32_t controlLength))

/* Firmware tables, ports and memory. A null buffer asks for the size. */
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GetSMBIOSHeader, (void* buffer, uint32_t length))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GetSMBIOSTable, (void* buffer, uint32_t length, uint32_t* returned))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GetSMBIOSStruct,
              (uint32_t type, void* buffer, uint32_t length, uint32_t* returned))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GetOEMStruct,
              (uint32_t identifier, uint32_t key1, uint32_t key2, void* buffer, uint32_t length,
               uint32_t* returned))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GetNBEStruct, (void* buffer, uint32_t length))
HWLINK_EXPORT(uint32_t, HWLINK_CDECL, HWLINK_ReadPort, (uint32_t port, uint32_t width, uint32_t* value))
HWLINK_EXPORT(uint32_t, HWLINK_CDECL, HWLINK_WritePort, (uint32_t port, uint32_t width, uint32_t value))
HWLINK_EXPORT(uint32_t, HWLINK_CDECL, HWLINK_ReadMemory,
              (uint32_t address1, uint32_t address2, void* buffer, uint32_t length))

/* NVMISC services (GABI class 0x8001). Status outputs may be null. */
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_NVMISC_GetSystemInfo,
              (NvmiscSystemInfo * info, uint16_t* status1, uint16_t* status2, uint16_t* status3))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_NVMISC_SetMessageIndicator,
              (uint32_t indicator, uint16_t* status1, uint16_t* status2, uint16_t* status3))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_NVMISC_GetWakeupOnRTC,
              (NvmiscWakeupRecord * record, uint16_t* status1, uint16_t* status2, uint16_t* status3))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_NVMISC_SetWakeupOnRTC,
              (const NvmiscWakeupSetting* setting, uint16_t* status1, uint16_t* status2, uint16_t* status3))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_NVMISC_GetBspfInfo,
              (uint8_t * info, uint16_t* status1, uint16_t* status2))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_NVMISC_GetBspfInfo_V2,
              (uint8_t * info, uint16_t* status1, uint16_t* status2))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_NVMISC_SetBspfCommand,
              (const void* data, uint32_t length, uint16_t* status1, uint16_t* status2))

/* NVRAM services (GABI class 7). names: count UTF-16 names; guids: count x 16 bytes.
 * A get returns one block holding the entries and their names and data (and _V2 a
 * header record block); release each with GABI_NVRAMAPI_FreeMemory. The blocks are
 * handed over on success and also with 0x2F000 (the exit failed after the items
 * were read): release them then too. */
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_NVRAMAPI_GetNvramData,
              (uint32_t credentialKind, const void* credential, uint32_t credentialLength, uint32_t firstWord,
               const uint16_t* const* names, const uint8_t* guids, uint32_t nameCount, uint16_t* headerWord,
               NvramHeader* header, NvramEntry** entries, uint32_t* entryCount, uint16_t* status1,
               uint16_t* status2, uint16_t* status3))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_NVRAMAPI_GetNvramData_V2,
              (uint32_t credentialKind, const void* credential, uint32_t credentialLength, uint32_t firstWord,
               const uint16_t* const* names, const uint8_t* guids, uint32_t nameCount, uint16_t* headerWord,
               NvramHeader** header, NvramEntry** entries, uint32_t* entryCount, uint16_t* status1,
               uint16_t* status2, uint16_t* status3))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_NVRAMAPI_SetNvramData,
              (uint32_t credentialKind, const void* credential, uint32_t credentialLength, uint32_t firstWord,
               uint32_t secondWord, const NvramHeader* header, const uint16_t* const* names,
               const uint8_t* guids, uint32_t nameCount, const NvramEntry* entries, uint32_t entryCount,
               uint16_t* status1, uint16_t* status2, uint16_t* status3))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_NVRAMAPI_SetNvramData_V2,
              (uint32_t credentialKind, const void* credential, uint32_t credentialLength, uint32_t firstWord,
               uint32_t secondWord, const NvramHeader* header, const uint16_t* const* names,
               const uint8_t* guids, uint32_t nameCount, const NvramEntry* entries, uint32_t entryCount,
               uint16_t* status1, uint16_t* status2, uint16_t* status3))
HWLINK_EXPORT(void, HWLINK_STDCALL, GABI_NVRAMAPI_FreeMemory, (void* block))

/* Setup services (GABI class 2). Each enters with the caller's credential; the
 * forms without _V2 use enter mode 1. Four status outputs, each may be null. */
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SAPI_GetBIOSSetupItem_V2,
              (uint32_t item, uint32_t credentialKind, uint32_t enterMode, const void* credential,
               uint32_t credentialLength, uint16_t* word8, uint16_t* word10, uint16_t* word12, uint16_t* word14,
               uint32_t* word16, void* buffer, uint32_t bufferLength, uint16_t* status1, uint16_t* status2,
               uint16_t* status3, uint16_t* status4))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SAPI_GetBIOSSetupItem,
              (uint32_t item, uint32_t credentialKind, const void* credential, uint32_t credentialLength,
               uint16_t* word8, uint16_t* word10, uint16_t* word12, uint16_t* word14, uint32_t* word16,
               void* buffer, uint32_t bufferLength, uint16_t* status1, uint16_t* status2, uint16_t* status3,
               uint16_t* status4))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SAPI_SetBIOSSetupItem_V2,
              (uint32_t item, uint32_t secondWord, const void* data, uint32_t dataLength,
               uint32_t credentialKind, uint32_t enterMode, const void* credential, uint32_t credentialLength,
               uint16_t* status1, uint16_t* status2, uint16_t* status3, uint16_t* status4))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SAPI_SetBIOSSetupItem,
              (uint32_t item, uint32_t secondWord, const void* data, uint32_t dataLength,
               uint32_t credentialKind, const void* credential, uint32_t credentialLength, uint16_t* status1,
               uint16_t* status2, uint16_t* status3, uint16_t* status4))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SAPI_GetBootOrder_V2,
              (uint32_t selector, uint32_t credentialKind, uint32_t enterMode, const void* credential,
               uint32_t credentialLength, void* buffer, uint32_t bufferLength, uint16_t* word8,
               uint16_t* word10, uint16_t* status1, uint16_t* status2, uint16_t* status3, uint16_t* status4))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SAPI_GetBootOrder,
              (uint32_t selector, uint32_t credentialKind, const void* credential, uint32_t credentialLength,
               void* buffer, uint32_t bufferLength, uint16_t* word8, uint16_t* word10, uint16_t* status1,
               uint16_t* status2, uint16_t* status3, uint16_t* status4))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SAPI_SetBootOrder_V2,
              (uint32_t selector, uint32_t secondWord, const void* data, uint32_t dataLength,
               uint32_t credentialKind, uint32_t enterMode, const void* credential, uint32_t credentialLength,
               uint16_t* status1, uint16_t* status2, uint16_t* status3, uint16_t* status4))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SAPI_SetBootOrder,
              (uint32_t selector, uint32_t secondWord, const void* data, uint32_t dataLength,
               uint32_t credentialKind, const void* credential, uint32_t credentialLength, uint16_t* status1,
               uint16_t* status2, uint16_t* status3, uint16_t* status4))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SAPI_GetDefaultValuesProperty_V2,
              (uint32_t credentialKind, uint32_t enterMode, const void* credential, uint32_t credentialLength,
               uint16_t* word8, uint16_t* word10, uint16_t* status1, uint16_t* status2, uint16_t* status3,
               uint16_t* status4))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SAPI_GetDefaultValuesProperty,
              (uint32_t credentialKind, const void* credential, uint32_t credentialLength, uint16_t* word8,
               uint16_t* word10, uint16_t* status1, uint16_t* status2, uint16_t* status3, uint16_t* status4))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SAPI_SetDefaultValuesProperty_V2,
              (uint32_t value, uint32_t credentialKind, uint32_t enterMode, const void* credential,
               uint32_t credentialLength, uint16_t* status1, uint16_t* status2, uint16_t* status3,
               uint16_t* status4))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SAPI_SetDefaultValuesProperty,
              (uint32_t value, uint32_t credentialKind, const void* credential, uint32_t credentialLength,
               uint16_t* status1, uint16_t* status2, uint16_t* status3, uint16_t* status4))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SAPI_GetPasswordProperty_V3,
              (uint32_t credentialKind, uint32_t passwordKind, uint32_t selector, uint32_t enterMode,
               const void* credential, uint32_t credentialLength, void* buffer, uint32_t bufferLength,
               uint16_t* status1, uint16_t* status2, uint16_t* status3, uint16_t* status4))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SAPI_GetPasswordPropertyEx,
              (uint32_t credentialKind, uint32_t passwordKind, const void* credential, uint32_t credentialLength,
               void* buffer, uint32_t bufferLength, uint16_t* status1, uint16_t* status2, uint16_t* status3,
               uint16_t* status4))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SAPI_GetPasswordProperty,
              (uint32_t credentialKind, const void* credential, uint32_t credentialLength, void* buffer,
               uint32_t bufferLength, uint16_t* status1, uint16_t* status2, uint16_t* status3, uint16_t* status4))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SAPI_SetPassword_V3,
              (uint32_t credentialKind, uint32_t enterMode, uint32_t credentialLength, const void* credential,
               uint32_t passwordKind, uint32_t secondWord, uint32_t thirdWord, uint32_t setMode,
               uint32_t firstLength, const void* first, uint32_t secondLength, const void* second,
               uint16_t* status1, uint16_t* status2, uint16_t* status3, uint16_t* status4))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SAPI_SetPassword2,
              (uint32_t credentialKind, uint32_t credentialLength, const void* credential, uint32_t passwordKind,
               uint32_t secondWord, uint32_t firstLength, const void* first, uint32_t secondLength,
               const void* second, uint16_t* status1, uint16_t* status2, uint16_t* status3, uint16_t* status4))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SAPI_SetPassword,
              (uint32_t credentialKind, uint32_t passwordKind, uint32_t secondWord, uint32_t currentLength,
               const void* current, uint32_t newLength, const void* newPassword, uint16_t* status1,
               uint16_t* status2, uint16_t* status3, uint16_t* status4))

/* System data services (GABI class 0x8000; the _SCC0005 forms address class 5). */
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SDA_GetSystemDataInfo,
              (uint32_t selector1, uint32_t selector2, uint32_t* info1, uint32_t* info2, uint32_t* info3,
               uint32_t* info4))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SDA_ReadSystemData,
              (uint32_t selector1, uint32_t selector2, void* buffer, uint32_t length))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SDA_WriteSystemData,
              (uint32_t selector1, uint32_t selector2, const void* data, uint32_t length))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SDA2_GetSystemDataInfo,
              (uint32_t selector1, uint32_t selector2, uint32_t* info1, uint32_t* info2, uint32_t* info3,
               uint32_t* info4, uint16_t* status1, uint16_t* status2, uint16_t* status3))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SDA2_ReadSystemData,
              (uint32_t selector1, uint32_t selector2, void* buffer, uint32_t length, uint16_t* status1,
               uint16_t* status2, uint16_t* status3))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SDA2_WriteSystemData,
              (uint32_t selector1, uint32_t selector2, const void* data, uint32_t length, uint16_t* status1,
               uint16_t* status2, uint16_t* status3))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SDA2_EnumSystemData,
              (uint32_t index, void* buffer, uint32_t length, uint16_t* status1, uint16_t* status2,
               uint16_t* status3))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SDA2_GetSystemDataInfo_SCC0005,
              (uint32_t selector1, uint32_t selector2, uint32_t* info1, uint32_t* info2, uint32_t* info3,
               uint32_t* info4, uint16_t* status1, uint16_t* status2, uint16_t* status3))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SDA2_ReadSystemData_SCC0005,
              (uint32_t selector1, uint32_t selector2, void* buffer, uint32_t length, uint16_t* status1,
               uint16_t* status2, uint16_t* status3))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SDA2_WriteSystemData_SCC0005,
              (uint32_t selector1, uint32_t selector2, const void* data, uint32_t length, uint16_t* status1,
               uint16_t* status2, uint16_t* status3))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SDA2_EnumSystemData_SCC0005,
              (uint32_t index, void* buffer, uint32_t length, uint16_t* status1, uint16_t* status2,
               uint16_t* status3))

/* Device firmware information (GABI class 0x8002). The record array is allocated
 * by the library (only when the count is not 0); release it with
 * GABI_DevFwUpdate_FreeMemory, the same function as GABI_NVRAMAPI_FreeMemory. */
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_DevFwUpdate_GetDeviceFirmwareInfo,
              (uint32_t * value, uint16_t* count, DeviceFirmwareRecord** records, uint16_t* status1,
               uint16_t* status2, uint16_t* status3))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_DevFwUpdate_GetDeviceFirmwareRuntimeInfo,
              (uint32_t * value, uint16_t* count, DeviceFirmwareRecord** records, uint16_t* status1,
               uint16_t* status2, uint16_t* status3))
HWLINK_EXPORT(void, HWLINK_STDCALL, GABI_DevFwUpdate_FreeMemory, (void* block))

#undef HWLINK_EXPORT

#ifdef __cplusplus
}
#endif

#endif /* HWLINK_HWLINK_H */
