/* hwlink.dll, the firmware bridge library: its 65 exports, the records callers
 * exchange with it and the status codes every export returns. Plain C; callers
 * bind the exports by name at run time, so names, calling conventions, record
 * layouts and status codes are the contract. Each export has a function-pointer
 * type PFN_<export> for GetProcAddress. Records are laid out for 32-bit callers
 * (i686); pointers in them are the caller's own width. Texts are 8-bit, names of
 * NVRAM items UTF-16LE, GUIDs 16 raw bytes, lengths count bytes.
 *
 * Every export keeps these rules unless its declaration says otherwise.
 *
 * Threading: one call at a time per process. The library starts no threads and
 * takes no locks. A device export opens "\\.\KHWPORT" for its requests and
 * closes it again (a service export once per firmware call); a call that finds
 * it open (another call running, or a close that failed) returns
 * HWLINK_CHANNEL_BUSY without sending anything. That test is no lock: calls from
 * two threads at once may both go ahead, and a service export leaves the channel
 * closed between the firmware calls of its sequence.
 *
 * Null pointers: no pointer argument may be null (HWLINK_INVALID_ARGUMENT, before
 * the device is opened) but the 16-bit status outputs status1 ... status4.
 *
 * Outputs: written only when the export returns HWLINK_OK; a failure leaves them
 * as they were. (With HWLINK_CLOSE_FAILED the work is done and its results may
 * be written.)
 *
 * Service exports (NVMISC, NVRAM, SAPI, SDA, SDA2, DevFwUpdate) run a directory
 * query, an enter, the function and an exit. Their status outputs are zeroed on
 * entry, after the argument checks, and then receive the firmware's status words
 * 1, 2, 3 (and 4, setup services) of the call that decided: the function on
 * success, the failing enter, function or exit otherwise. A failure before the
 * enter (the directory query, a block that cannot be allocated or is too small
 * for the results, data that does not fit its block) leaves them zero. Results
 * are taken from the function call, before the exit: a failing exit leaves them
 * written.
 *
 * Memory the library hands out (NVRAM items and header records, device firmware
 * records) comes from the process heap: release each block with
 * GABI_NVRAMAPI_FreeMemory or GABI_DevFwUpdate_FreeMemory (one function; null is
 * allowed). Nothing else outlives a call. */
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
#define HWLINK_CLOSE_FAILED 0x10004u          /* closing failed after the work; busy until the library is unloaded */
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

/* Driver service and device channel. The four KernelDrv_ exports need
 * administrator rights and return HWLINK_CHANNEL_BUSY while the channel is open;
 * they do not open it themselves. */

/* Copies KHWPORT.SYS from the current directory (nowhere else; missing:
 * HWLINK_DRIVER_FILE_MISSING, checked first) into the system's drivers folder,
 * creates the service and starts it. An existing service is left alone: nothing
 * is copied or started, and the result compares the installed file's version
 * with the offered one (HWLINK_INSTALLED_...). */
HWLINK_EXPORT(uint32_t, HWLINK_CDECL, KernelDrv_Install, (void))
/* Stops the driver (waiting up to 30 s for it, then 3 s more), deletes the
 * service and the installed file. A service that is installed but not running
 * stays, with its file (result 0); without a service a leftover file goes. */
HWLINK_EXPORT(uint32_t, HWLINK_CDECL, KernelDrv_UnInstall, (void))
/* As the two above for <directory>\KHWPORT.SYS, which must fit 260 characters
 * (HWLINK_INVALID_ARGUMENT otherwise), with the caller's start type. Installing
 * shows a message box when creating, reopening or starting the service fails. */
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, KernelDrv_Install_Test, (const char* directory, uint32_t startType))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, KernelDrv_UnInstall_Test, (const char* directory))
/* Opens the device to see that the driver runs, asks it nothing, and stores 1
 * and 0x00020055. */
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GetDriverVersion, (uint32_t* first, uint32_t* second))

/* GABI call path. Every block passed in starts with its own 16-bit length word;
 * the firmware writes its status words into the control block. Every export but
 * CheckGABI and GetGABIEntry returns HWLINK_GABI_ABSENT when the firmware has no
 * GABI interface. */

/* *present: non-zero when the firmware has the GABI interface. */
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, CheckGABI, (uint32_t* present))
/* The entry structure, as long as its byte 8 says; HWLINK_BUFFER_TOO_SMALL, with
 * nothing copied, when length is shorter. */
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GetGABIEntry, (void* buffer, uint32_t length))
/* One firmware call. Null blocks are refused only after the presence check, so
 * without the driver that gives HWLINK_DEVICE_UNAVAILABLE. Success means the call
 * travelled: the blocks then hold the firmware's reply, whatever its status words
 * say; after a failure they are as they were. */
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, CallGABIService, (void* input, void* output, void* control))
/* The buffer goes to the driver as it is, with the caller's I/O control code, and
 * the driver writes its reply into it: after a failed or short request it may
 * hold part of one. A null buffer or a length of 0 is refused after the presence
 * check. */
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, CallGABIService_SingleBuf, (uint32_t code, void* buffer, uint32_t length))
/* As CallGABIService in an extended frame with the caller's code; extra may be
 * null (extraLength zero bytes travel, nothing comes back). */
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, CallGABIService_4buf,
              (uint32_t code, void* input, void* output, void* control, void* extra, uint32_t extraLength))
/* The directory query for serviceClass (low 16 bits); directoryReply holds at
 * least 35 bytes, control at least 1024. Both are zero-filled and set up before
 * the call and hold the reply whenever it travelled; word 2 other than 1 gives
 * HWLINK_FIRMWARE_BASE + word 2. The reply's word at offset 2 is the size of the
 * service's output block. */
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, _CallServiceInterface,
              (uint32_t serviceClass, void* directoryReply, void* control))
/* Enter and exit over the caller's blocks. Class and lengths count by their low
 * 16 bits; a length of 0 or one too short for the block's header (control 16,
 * input and output 8 bytes) is refused. The blocks are zero-filled and set up
 * before the call and hold the reply whenever it travelled; word 2 decides as
 * above. An enter leaves the service handle at output offset 4. */
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, _CallEnter,
              (uint32_t serviceClass, void* input, uint32_t inputLength, void* output, uint32_t outputLength,
               void* control, uint32_t controlLength))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, _CallExit,
              (uint32_t serviceClass, uint32_t handle, void* input, uint32_t inputLength, void* output,
               uint32_t outputLength, void* control, uint32_t controlLength))

/* Firmware tables, ports and memory. */

/* The 31-byte SMBIOS entry point (GetSMBIOSHeader) or the driver's 32-byte NBE
 * structure (GetNBEStruct), as much as length takes. */
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GetSMBIOSHeader, (void* buffer, uint32_t length))
/* buffer null: the size query, *returned = the table length T from the entry
 * point. Otherwise the table, read by the driver straight into buffer
 * (HWLINK_BUFFER_TOO_SMALL when length < T), *returned = the bytes it gave.
 * returned may be null. */
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GetSMBIOSTable, (void* buffer, uint32_t length, uint32_t* returned))
/* The first structure of the type (low 8 bits) with its strings and both zeros;
 * HWLINK_STRUCT_NOT_FOUND when there is none. buffer null: the size query.
 * *returned = its length, stored also with HWLINK_BUFFER_TOO_SMALL. returned may
 * be null. */
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GetSMBIOSStruct,
              (uint32_t type, void* buffer, uint32_t length, uint32_t* returned))
/* As GetSMBIOSStruct for a structure of type 0x80 or above whose byte 4 is the
 * identifier and, for identifier 2, bytes 5 and 6 are key1 and key2 (each by its
 * low 8 bits). */
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GetOEMStruct,
              (uint32_t identifier, uint32_t key1, uint32_t key2, void* buffer, uint32_t length,
               uint32_t* returned))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GetNBEStruct, (void* buffer, uint32_t length))
/* width is 1, 2 or 4 (HWLINK_INVALID_ARGUMENT otherwise, before the device is
 * opened). A read stores the driver's 32-bit value, not masked to the width. */
HWLINK_EXPORT(uint32_t, HWLINK_CDECL, HWLINK_ReadPort, (uint32_t port, uint32_t width, uint32_t* value))
HWLINK_EXPORT(uint32_t, HWLINK_CDECL, HWLINK_WritePort, (uint32_t port, uint32_t width, uint32_t value))
/* length bytes (not 0) from the two address words, which the driver reads as a
 * 64-bit physical address, low word first. The driver writes straight into
 * buffer: after HWLINK_REPLY_SIZE (fewer bytes came) it holds what came. */
HWLINK_EXPORT(uint32_t, HWLINK_CDECL, HWLINK_ReadMemory,
              (uint32_t address1, uint32_t address2, void* buffer, uint32_t length))

/* NVMISC services (GABI class 0x8001). A directory size too small for the
 * record gives HWLINK_INVALID_ARGUMENT. */
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_NVMISC_GetSystemInfo,
              (NvmiscSystemInfo * info, uint16_t* status1, uint16_t* status2, uint16_t* status3))
/* indicator: its low 16 bits travel. */
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_NVMISC_SetMessageIndicator,
              (uint32_t indicator, uint16_t* status1, uint16_t* status2, uint16_t* status3))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_NVMISC_GetWakeupOnRTC,
              (NvmiscWakeupRecord * record, uint16_t* status1, uint16_t* status2, uint16_t* status3))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_NVMISC_SetWakeupOnRTC,
              (const NvmiscWakeupSetting* setting, uint16_t* status1, uint16_t* status2, uint16_t* status3))
/* info: HWLINK_BSPF_INFO_SIZE bytes (_V2: HWLINK_BSPF_INFO_V2_SIZE). Two status
 * outputs, words 1 and 2. */
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_NVMISC_GetBspfInfo,
              (uint8_t * info, uint16_t* status1, uint16_t* status2))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_NVMISC_GetBspfInfo_V2,
              (uint8_t * info, uint16_t* status1, uint16_t* status2))
/* length 1 to 65522 (0: HWLINK_INVALID_ARGUMENT, more: HWLINK_REQUEST_TOO_LARGE,
 * both before the outputs are zeroed). */
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_NVMISC_SetBspfCommand,
              (const void* data, uint32_t length, uint16_t* status1, uint16_t* status2))

/* NVRAM services (GABI class 7). Every call enters with the caller's credential:
 * credentialKind (low 16 bits) and credentialLength bytes, null only when the
 * length is 0. names: nameCount UTF-16 names, none of them null; guids: nameCount
 * x 16 bytes; both may be null when nameCount is 0. firstWord and secondWord
 * travel as their low 16 bits. A name list or credential that does not fit a
 * request gives HWLINK_REQUEST_TOO_LARGE.
 *
 * A get returns one block holding entryCount entries and their names and data,
 * which the entries point into (an empty reply still gives a block), and _V2 a
 * header record block of its own; release each with GABI_NVRAMAPI_FreeMemory.
 * *entries, *entryCount, *headerWord (and _V2 *header) are written together,
 * when the function call succeeded: with HWLINK_EXIT_FAILED too, so release the
 * blocks then as well. The first form copies the reply's type 1 header into
 * *header (HWLINK_NVRAM_HEADER1_SIZE bytes); a type 2 reply gives
 * HWLINK_BUFFER_TOO_SMALL and hands nothing over. */
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
/* A set of entryCount entries (none: 0 at once, nothing sent); entries, and each
 * entry's name and data where its size is not 0, must not be null; a null header
 * with entries gives HWLINK_REQUEST_TOO_LARGE. The entries go out in as few
 * requests as fit, the header and names repeated in each; the first failing
 * request ends the set, earlier ones stay sent, and the status outputs hold the
 * words of the last request. */
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
/* Releases a block a get returned; nothing for null. */
HWLINK_EXPORT(void, HWLINK_STDCALL, GABI_NVRAMAPI_FreeMemory, (void* block))

/* Setup services (GABI class 2). Each enters with the caller's credential: a
 * kind, an enter mode (1 in the forms without _V2 or _V3) and credentialLength
 * bytes, null only when the length is 0. Kinds, items, selectors, words and
 * lengths travel as their low 16 bits, modes as their low 8. Four status
 * outputs; word 4 is the setup services' own.
 *
 * A get's buffer must be given with a length (low 16 bits) other than 0; it
 * receives as much data as both it and the reply hold. The word outputs (word8
 * ... word16) may be null. A set's data must be given with a length other than
 * 0; a password string may be null only when its length is 0. These checks come
 * before anything else. What does not fit the 512-byte input block gives
 * HWLINK_REQUEST_TOO_LARGE after the directory query: a setup item over 496
 * bytes, a boot order over 500, a credential over 499, the two password strings
 * together over 493. */
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
/* Selector 0, enter mode 1. */
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SAPI_GetPasswordPropertyEx,
              (uint32_t credentialKind, uint32_t passwordKind, const void* credential, uint32_t credentialLength,
               void* buffer, uint32_t bufferLength, uint16_t* status1, uint16_t* status2, uint16_t* status3,
               uint16_t* status4))
/* credentialKind names the password kind too. */
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SAPI_GetPasswordProperty,
              (uint32_t credentialKind, const void* credential, uint32_t credentialLength, void* buffer,
               uint32_t bufferLength, uint16_t* status1, uint16_t* status2, uint16_t* status3, uint16_t* status4))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SAPI_SetPassword_V3,
              (uint32_t credentialKind, uint32_t enterMode, uint32_t credentialLength, const void* credential,
               uint32_t passwordKind, uint32_t secondWord, uint32_t thirdWord, uint32_t setMode,
               uint32_t firstLength, const void* first, uint32_t secondLength, const void* second,
               uint16_t* status1, uint16_t* status2, uint16_t* status3, uint16_t* status4))
/* Set mode 1, third word 0. */
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SAPI_SetPassword2,
              (uint32_t credentialKind, uint32_t credentialLength, const void* credential, uint32_t passwordKind,
               uint32_t secondWord, uint32_t firstLength, const void* first, uint32_t secondLength,
               const void* second, uint16_t* status1, uint16_t* status2, uint16_t* status3, uint16_t* status4))
/* The current password is the credential and the first string. */
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SAPI_SetPassword,
              (uint32_t credentialKind, uint32_t passwordKind, uint32_t secondWord, uint32_t currentLength,
               const void* current, uint32_t newLength, const void* newPassword, uint16_t* status1,
               uint16_t* status2, uint16_t* status3, uint16_t* status4))

/* System data services (GABI class 0x8000; the _SCC0005 forms address class 5
 * after a directory query for 0x8000). Reads and writes carry the data as the
 * fourth part of an extended frame, so lengths count in full; a read's buffer
 * receives what the reply carried whenever the read travelled, also when the
 * firmware refused it. info1 ... info4: at least one not null; each given one
 * receives its word.
 *
 * The SDA forms have no status outputs: each call, the read and the write too,
 * succeeds when word 2 is 1; a failure is HWLINK_FIRMWARE_BASE + word 2, or the
 * request's own status. A read needs a length other than 0. */
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SDA_GetSystemDataInfo,
              (uint32_t selector1, uint32_t selector2, uint32_t* info1, uint32_t* info2, uint32_t* info3,
               uint32_t* info4))
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SDA_ReadSystemData,
              (uint32_t selector1, uint32_t selector2, void* buffer, uint32_t length))
/* data is null exactly when length is 0 (an empty item). */
HWLINK_EXPORT(uint32_t, HWLINK_STDCALL, GABI_SDA_WriteSystemData,
              (uint32_t selector1, uint32_t selector2, const void* data, uint32_t length))
/* The SDA2 forms report a failing step of a read or an enumeration as
 * HWLINK_ENTER_FAILED, HWLINK_FUNCTION_FAILED or HWLINK_EXIT_FAILED. An
 * information call or a write reports a failing enter or function by that call's
 * own status (HWLINK_FIRMWARE_BASE when only the words refused), a failing exit
 * as HWLINK_EXIT_FAILED. A read or write takes any data and length: null data
 * sends zeros and receives nothing. An enumeration copies as much of the output
 * from offset 8 as its buffer takes (length: low 16 bits, not 0). */
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

/* Device firmware information (GABI class 0x8002). The status outputs are not
 * zeroed on entry: a failing directory query leaves them as they were, a failing
 * step stores its words and a good run the exit's. *value and *count are written
 * only after the exit succeeded, *records too when the count is not 0: a block of
 * count records that the library allocates; release it with
 * GABI_DevFwUpdate_FreeMemory, the same function as GABI_NVRAMAPI_FreeMemory.
 * HWLINK_RESULT_ALLOC_FAILED: that block could not be allocated; value and count
 * are written, records is not. A count above
 * HWLINK_MAX_DEVICE_FIRMWARE_RECORDS gives HWLINK_REQUEST_TOO_LARGE. */
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
