/* Simulated battery class driver for the end-to-end scenarios.
 *
 * Creates CWBATSIM_DEVICES battery devices whose symbolic links match the
 * interface paths SetupAPI hands out for ROOT\BATTERY\<n>, and answers the tag
 * and information requests of the battery class interface. What each battery
 * reports is read from HKLM\SOFTWARE\CellwiseSim\Battery\<n> at every request,
 * so one loaded driver serves every scenario:
 *   Name, Manufacturer, Serial   REG_SZ   texts of levels 4, 6 and 8
 *   Fail                         REG_DWORD 1 = tag query fails, 4/6/8 = that level fails
 *   Unterminated                 REG_DWORD 1 = byte counts cover the characters only
 * A device without a configuration key behaves like an empty bay: its tag
 * query fails. */
#include <ddk/wdm.h>

#define CWBATSIM_DEVICES 4
#define CWBATSIM_TAG_BASE 0x5A1E0000u
#define CWBATSIM_POOL_TAG 0x53426343u /* 'CcBS' */

#define IOCTL_SIM_BATTERY_QUERY_TAG 0x294040u
#define IOCTL_SIM_BATTERY_QUERY_INFORMATION 0x294044u

#define LEVEL_DEVICE_NAME 4u
#define LEVEL_MANUFACTURE_NAME 6u
#define LEVEL_SERIAL_NUMBER 8u
#define FAIL_TAG 1u

/* Longest text a battery reports, in UTF-16 units. */
#define MAX_TEXT 1024u

typedef struct SIM_QUERY_INFORMATION {
    ULONG tag;
    ULONG level;
    LONG rate;
} SIM_QUERY_INFORMATION;

typedef struct SIM_EXTENSION {
    ULONG index;
    UNICODE_STRING link;
    WCHAR linkBuffer[80];
} SIM_EXTENSION;

static const WCHAR linkPrefix[] = L"\\??\\ROOT#BATTERY#";
static const WCHAR linkSuffix[] = L"#{72631e54-78a4-11d0-bcf7-00aa00b7b32a}";
static const WCHAR devicePrefix[] = L"\\Device\\CwBatSim";
static const WCHAR configPrefix[] = L"\\Registry\\Machine\\SOFTWARE\\CellwiseSim\\Battery\\";

/* Appends text to a counted buffer of cap units; keeps room for a NUL. */
static void append(WCHAR *buf, USHORT *len, USHORT cap, const WCHAR *text)
{
    while (*text && *len + 1 < cap)
        buf[(*len)++] = *text++;
    buf[*len] = 0;
}

static void appendIndex(WCHAR *buf, USHORT *len, USHORT cap, ULONG index)
{
    WCHAR digits[12];
    int n = 0;
    do {
        digits[n++] = (WCHAR)(L'0' + index % 10);
        index /= 10;
    } while (index && n < 11);
    while (n > 0 && *len + 1 < cap)
        buf[(*len)++] = digits[--n];
    buf[*len] = 0;
}

static HANDLE openConfig(ULONG index)
{
    WCHAR path[128];
    USHORT len = 0;
    UNICODE_STRING name;
    OBJECT_ATTRIBUTES attr;
    HANDLE key = NULL;

    append(path, &len, 128, configPrefix);
    appendIndex(path, &len, 128, index);
    RtlInitUnicodeString(&name, path);
    InitializeObjectAttributes(&attr, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, NULL, NULL);
    if (!NT_SUCCESS(ZwOpenKey(&key, KEY_READ, &attr)))
        return NULL;
    return key;
}

/* Reads one value of the configuration key into pool memory; the caller frees it. */
static KEY_VALUE_PARTIAL_INFORMATION *queryValue(HANDLE key, const WCHAR *valueName)
{
    UNICODE_STRING name;
    ULONG size = sizeof(KEY_VALUE_PARTIAL_INFORMATION) + (MAX_TEXT + 1) * sizeof(WCHAR);
    ULONG got = 0;
    KEY_VALUE_PARTIAL_INFORMATION *info = ExAllocatePoolWithTag(PagedPool, size, CWBATSIM_POOL_TAG);

    if (!info)
        return NULL;
    RtlInitUnicodeString(&name, valueName);
    if (!NT_SUCCESS(ZwQueryValueKey(key, &name, KeyValuePartialInformation, info, size, &got))) {
        ExFreePoolWithTag(info, CWBATSIM_POOL_TAG);
        return NULL;
    }
    return info;
}

static ULONG queryDword(HANDLE key, const WCHAR *valueName)
{
    ULONG result = 0;
    KEY_VALUE_PARTIAL_INFORMATION *info = queryValue(key, valueName);
    if (info) {
        if (info->Type == REG_DWORD && info->DataLength >= sizeof(ULONG))
            RtlCopyMemory(&result, info->Data, sizeof(ULONG));
        ExFreePoolWithTag(info, CWBATSIM_POOL_TAG);
    }
    return result;
}

static NTSTATUS queryTag(SIM_EXTENSION *ext, PIRP irp, ULONG inLen, ULONG outLen)
{
    HANDLE key;
    ULONG fail, tag;

    if (inLen < sizeof(ULONG))
        return STATUS_INVALID_PARAMETER;
    if (outLen < sizeof(ULONG))
        return STATUS_BUFFER_TOO_SMALL;
    key = openConfig(ext->index);
    if (!key)
        return STATUS_NO_SUCH_DEVICE; /* empty bay */
    fail = queryDword(key, L"Fail");
    ZwClose(key);
    if (fail == FAIL_TAG)
        return STATUS_NO_SUCH_DEVICE;
    tag = CWBATSIM_TAG_BASE + ext->index;
    RtlCopyMemory(irp->AssociatedIrp.SystemBuffer, &tag, sizeof(tag));
    irp->IoStatus.Information = sizeof(tag);
    return STATUS_SUCCESS;
}

static NTSTATUS queryInformation(SIM_EXTENSION *ext, PIRP irp, ULONG inLen, ULONG outLen)
{
    SIM_QUERY_INFORMATION query;
    const WCHAR *valueName;
    KEY_VALUE_PARTIAL_INFORMATION *info;
    HANDLE key;
    ULONG chars = 0, bytes, unterminated, i;
    const WCHAR *text;
    WCHAR *out = irp->AssociatedIrp.SystemBuffer;
    NTSTATUS status = STATUS_SUCCESS;

    if (inLen < sizeof(query))
        return STATUS_INVALID_PARAMETER;
    RtlCopyMemory(&query, irp->AssociatedIrp.SystemBuffer, sizeof(query));
    if (query.tag != CWBATSIM_TAG_BASE + ext->index)
        return STATUS_NO_SUCH_DEVICE;
    switch (query.level) {
    case LEVEL_DEVICE_NAME: valueName = L"Name"; break;
    case LEVEL_MANUFACTURE_NAME: valueName = L"Manufacturer"; break;
    case LEVEL_SERIAL_NUMBER: valueName = L"Serial"; break;
    default: return STATUS_INVALID_DEVICE_REQUEST;
    }
    key = openConfig(ext->index);
    if (!key)
        return STATUS_NO_SUCH_DEVICE;
    if (queryDword(key, L"Fail") == query.level) {
        ZwClose(key);
        return STATUS_INVALID_DEVICE_REQUEST;
    }
    unterminated = queryDword(key, L"Unterminated");
    info = queryValue(key, valueName);
    ZwClose(key);

    text = L"";
    if (info && info->Type == REG_SZ) {
        text = (const WCHAR *)info->Data;
        while (chars < info->DataLength / sizeof(WCHAR) && text[chars])
            ++chars;
    }
    bytes = (chars + (unterminated ? 0 : 1)) * sizeof(WCHAR);
    if (outLen < bytes) {
        status = STATUS_BUFFER_TOO_SMALL;
    } else {
        for (i = 0; i < chars; ++i)
            out[i] = text[i];
        if (!unterminated)
            out[chars] = 0;
        irp->IoStatus.Information = bytes;
    }
    if (info)
        ExFreePoolWithTag(info, CWBATSIM_POOL_TAG);
    return status;
}

static NTSTATUS complete(PIRP irp, NTSTATUS status)
{
    irp->IoStatus.Status = status;
    if (!NT_SUCCESS(status))
        irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static NTSTATUS NTAPI dispatchCreateClose(PDEVICE_OBJECT device, PIRP irp)
{
    (void)device;
    irp->IoStatus.Information = 0;
    return complete(irp, STATUS_SUCCESS);
}

static NTSTATUS NTAPI dispatchControl(PDEVICE_OBJECT device, PIRP irp)
{
    SIM_EXTENSION *ext = device->DeviceExtension;
    PIO_STACK_LOCATION sp = IoGetCurrentIrpStackLocation(irp);
    ULONG inLen = sp->Parameters.DeviceIoControl.InputBufferLength;
    ULONG outLen = sp->Parameters.DeviceIoControl.OutputBufferLength;

    irp->IoStatus.Information = 0;
    switch (sp->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_SIM_BATTERY_QUERY_TAG:
        return complete(irp, queryTag(ext, irp, inLen, outLen));
    case IOCTL_SIM_BATTERY_QUERY_INFORMATION:
        return complete(irp, queryInformation(ext, irp, inLen, outLen));
    default:
        return complete(irp, STATUS_INVALID_DEVICE_REQUEST);
    }
}

static VOID NTAPI driverUnload(PDRIVER_OBJECT driver)
{
    PDEVICE_OBJECT device = driver->DeviceObject;
    while (device) {
        PDEVICE_OBJECT next = device->NextDevice;
        SIM_EXTENSION *ext = device->DeviceExtension;
        IoDeleteSymbolicLink(&ext->link);
        IoDeleteDevice(device);
        device = next;
    }
}

static NTSTATUS createBattery(PDRIVER_OBJECT driver, ULONG index)
{
    WCHAR nameBuffer[48];
    USHORT len = 0;
    UNICODE_STRING name;
    PDEVICE_OBJECT device;
    SIM_EXTENSION *ext;
    NTSTATUS status;

    append(nameBuffer, &len, 48, devicePrefix);
    appendIndex(nameBuffer, &len, 48, index);
    RtlInitUnicodeString(&name, nameBuffer);
    status = IoCreateDevice(driver, sizeof(SIM_EXTENSION), &name, FILE_DEVICE_BATTERY, 0, FALSE, &device);
    if (!NT_SUCCESS(status))
        return status;
    ext = device->DeviceExtension;
    ext->index = index;
    len = 0;
    append(ext->linkBuffer, &len, 80, linkPrefix);
    appendIndex(ext->linkBuffer, &len, 80, index);
    append(ext->linkBuffer, &len, 80, linkSuffix);
    RtlInitUnicodeString(&ext->link, ext->linkBuffer);
    status = IoCreateSymbolicLink(&ext->link, &name);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(device);
        return status;
    }
    device->Flags |= DO_BUFFERED_IO;
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath)
{
    ULONG i;
    NTSTATUS status;

    (void)registryPath;
    driver->MajorFunction[IRP_MJ_CREATE] = dispatchCreateClose;
    driver->MajorFunction[IRP_MJ_CLOSE] = dispatchCreateClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = dispatchControl;
    driver->DriverUnload = driverUnload;
    for (i = 0; i < CWBATSIM_DEVICES; ++i) {
        status = createBattery(driver, i);
        if (!NT_SUCCESS(status)) {
            driverUnload(driver);
            return status;
        }
    }
    return STATUS_SUCCESS;
}
