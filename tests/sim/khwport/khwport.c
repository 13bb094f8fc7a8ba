/* Simulated KHWPORT.SYS for the end-to-end scenarios of hwlink.dll.
 *
 * Creates \Device\KHWPORT with the link \DosDevices\KHWPORT and serves every
 * device request of hwlink.dll with the documented sizes. Behind the GABI, NVRAM
 * and system data requests sits a firmware: a service directory, enter and exit,
 * and per family a small model (khwport_models.c) of an NVRAM store, setup items
 * and passwords, system data items and a device firmware list; a scenario's rules
 * override any call's status words and result bytes. The SMBIOS table carries OEM
 * structures; ports remember what was written. Every request the product sends is
 * recorded, frames byte for byte, so tests check the wire bytes the library sent.
 *
 * Two control requests outside the product's code range (function 0xA00 up,
 * any access) drive it; khwport_sim.h gives their layouts:
 *   KHWSIM_CONFIGURE  input: a configuration, which also clears the record
 *   KHWSIM_READ_LOG   output: the record
 * The configuration lives until the next one or until the driver is unloaded.
 * Requests are handled one at a time, as the scenarios send them. */
#include <ddk/wdm.h>

#include "tests/sim/khwport/khwport_models.h"
#include "tests/sim/khwport/khwport_sim.h"

#define POOL_TAG 0x5357484Bu /* 'KHWS' */

static const WCHAR deviceName[] = L"\\Device\\KHWPORT";
static const WCHAR linkName[] = L"\\DosDevices\\KHWPORT";

/* Product requests: device type 0x22, read and write access. */
#define PRODUCT_CODE(fn, method) (0x22u << 16 | 3u << 14 | (fn) << 2 | (method))
#define REQ_READ_NBE PRODUCT_CODE(0x820u, 0u)
#define REQ_SMBIOS_ENTRY PRODUCT_CODE(0x821u, 0u)
#define REQ_SMBIOS_TABLE PRODUCT_CODE(0x822u, 0u)
#define REQ_GABI_ENTRY PRODUCT_CODE(0x823u, 0u)
#define REQ_GABI_PRESENT PRODUCT_CODE(0x824u, 0u)
#define REQ_GABI_CALL PRODUCT_CODE(0x825u, 2u)
#define REQ_SDA_READ PRODUCT_CODE(0x826u, 2u)
#define REQ_SDA_WRITE PRODUCT_CODE(0x827u, 2u)
#define REQ_PORT_READ PRODUCT_CODE(0x828u, 0u)
#define REQ_PORT_WRITE PRODUCT_CODE(0x829u, 0u)
#define REQ_NVRAM_CALL PRODUCT_CODE(0x82Au, 2u)
#define REQ_MEMORY_READ PRODUCT_CODE(0x8F0u, 2u)

#define NBE_SIZE 32u
#define SMBIOS_ENTRY_SIZE 31u
#define GABI_ENTRY_SIZE 256u
#define PRESENCE_SIZE 4u
#define PORT_REQUEST_SIZE 12u
#define MEMORY_REQUEST_SIZE 12u

/* A small SMBIOS table: firmware information (type 0), an OEM structure of type
 * 0x85 (identifier 2, keys 1 and 7), one of type 0x90 (identifier 3) with a
 * string, end of table (type 127). */
static const UCHAR smbiosTable[] = {
    0x00, 0x12, 0x00, 0x00, 0x01, 0x02, 0x00, 0xF0, 0x03, 0x07, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00,
    'N', 'o', 'r', 'v', 'a', 'n', 'e', 0, '1', '.', '0', '5', 0, 0,
    0x85, 0x08, 0x01, 0x00, 0x02, 0x01, 0x07, 0x00, 0, 0,
    0x90, 0x07, 0x02, 0x00, 0x03, 0x55, 0x66, 'O', 'E', 'M', 0, 0,
    0x7F, 0x04, 0x03, 0x00, 0, 0};

typedef struct SIM_STATE {
    KHWSIM_CONFIG config;
    UCHAR *log;   /* KHWSIM_LOG_SIZE bytes: header, then records */
    ULONG logUsed;
} SIM_STATE;

static SIM_STATE *state;

static void clearLog(void)
{
    RtlZeroMemory(state->log, KHWSIM_LOG_HEADER);
    state->logUsed = KHWSIM_LOG_HEADER;
}

/* Appends one record: code, the request's size, the bytes kept, the bytes. */
static void record(ULONG code, const UCHAR *bytes, ULONG length)
{
    UCHAR *log = state->log;
    ULONG kept = !bytes ? 0 : length < KHWSIM_RECORD_MAX ? length : KHWSIM_RECORD_MAX;
    ULONG need = KHWSIM_RECORD_HEADER + kept;
    if (KHWSIM_LOG_SIZE - state->logUsed < need) {
        put32(log + 4, get32(log + 4) + 1); /* dropped */
        return;
    }
    put32(log + state->logUsed, code);
    put32(log + state->logUsed + 4, length);
    put32(log + state->logUsed + 8, kept);
    if (kept)
        RtlCopyMemory(log + state->logUsed + KHWSIM_RECORD_HEADER, bytes, kept);
    state->logUsed += need;
    put32(log, get32(log) + 1); /* count */
}

static const KHWSIM_RULE *findRule(USHORT cls, USHORT function, USHORT version)
{
    ULONG i;
    for (i = 0; i < state->config.ruleCount && i < KHWSIM_MAX_RULES; ++i) {
        const KHWSIM_RULE *r = &state->config.rules[i];
        if (r->serviceClass == cls && r->function == function && (r->version == 0 || r->version == version))
            return r;
    }
    return NULL;
}

/* The firmware's side of one call over its blocks (extra: the extended frame's
 * fourth part). The family models answer first, a matching rule overrides their
 * words and bytes. Returns the mode of the rule that answered (KHWSIM_REPLY,
 * _FAIL or _SHORT). */
static ULONG answer(UCHAR *control, ULONG lc, UCHAR *input, ULONG li, UCHAR *output, ULONG lo, UCHAR *extra,
                    ULONG le)
{
    SIM_CALL call;
    const KHWSIM_RULE *rule;
    ULONG i;

    if (lc < 16)
        return KHWSIM_FAIL;
    RtlZeroMemory(&call, sizeof call);
    call.control = control;
    call.input = input;
    call.output = output;
    call.extra = extra;
    call.lc = lc;
    call.li = li;
    call.lo = lo;
    call.le = le;
    call.cls = get16(control + 2);
    call.function = get16(control + 4);
    call.category = get16(control + 12);
    if (li >= 4)
        call.version = get16(input + 2);
    call.word1 = call.word2 = 1;
    rule = findRule(call.cls, call.function, call.version);
    if (rule && rule->mode == KHWSIM_FAIL)
        return KHWSIM_FAIL;
    if (call.cls == 1 && lo >= 4)
        put16(output + 2, modelOutputSize(call.function));
    else if (call.function == 1 && lo >= 8)
        put32(output + 4, KHWSIM_SERVICE_HANDLE);
    if (call.cls != 1)
        modelAnswer(&call);
    if (rule) {
        call.word1 = rule->word1;
        call.word2 = rule->word2;
        call.word3 = rule->word3;
        call.word4 = rule->word4;
        for (i = 0; i < rule->dataLength && i < KHWSIM_RULE_DATA && rule->dataOffset + i < lo; ++i)
            output[rule->dataOffset + i] = rule->data[i];
    }
    put16(control + 6, call.word1);
    put16(control + 8, call.word2);
    put16(control + 10, call.word3);
    put16(control + 14, call.word4);
    return rule ? rule->mode : KHWSIM_REPLY;
}

/* GabiFrame (6-byte header) or GabiExtendedFrame (10-byte header, extra part). */
static NTSTATUS frameRequest(UCHAR *frame, ULONG size, BOOLEAN extended, ULONG_PTR *information)
{
    ULONG header = extended ? 10u : 6u;
    ULONG lc, li, lo, le = 0, mode;

    if (size < header)
        return STATUS_INVALID_PARAMETER;
    lc = get16(frame);
    li = get16(frame + 2);
    lo = get16(frame + 4);
    if (extended)
        le = get32(frame + 6);
    if ((ULONGLONG)header + lc + li + lo + le != size)
        return STATUS_INVALID_PARAMETER;
    mode = answer(frame + header, lc, frame + header + lc, li, frame + header + lc + li, lo,
                  frame + header + lc + li + lo, le);
    if (mode == KHWSIM_FAIL)
        return STATUS_UNSUCCESSFUL;
    *information = mode == KHWSIM_SHORT ? size - 1 : size;
    return STATUS_SUCCESS;
}

static NTSTATUS configure(const UCHAR *in, ULONG inLen)
{
    if (inLen != sizeof(KHWSIM_CONFIG))
        return STATUS_INVALID_PARAMETER;
    RtlCopyMemory(&state->config, in, sizeof(KHWSIM_CONFIG));
    if (state->config.magic != KHWSIM_MAGIC) {
        RtlZeroMemory(&state->config, sizeof(KHWSIM_CONFIG));
        return STATUS_INVALID_PARAMETER;
    }
    clearLog();
    modelsReset(state->config.devfwCount);
    return STATUS_SUCCESS;
}

static NTSTATUS complete(PIRP irp, NTSTATUS status, ULONG_PTR information)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = NT_SUCCESS(status) ? information : 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static NTSTATUS NTAPI dispatchCreateClose(PDEVICE_OBJECT device, PIRP irp)
{
    (void)device;
    return complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS NTAPI dispatchControl(PDEVICE_OBJECT device, PIRP irp)
{
    PIO_STACK_LOCATION sp = IoGetCurrentIrpStackLocation(irp);
    ULONG code = sp->Parameters.DeviceIoControl.IoControlCode;
    ULONG inLen = sp->Parameters.DeviceIoControl.InputBufferLength;
    ULONG outLen = sp->Parameters.DeviceIoControl.OutputBufferLength;
    UCHAR *buffer = irp->AssociatedIrp.SystemBuffer;
    UCHAR *direct = NULL;
    ULONG_PTR information = 0;
    const KHWSIM_CONFIG *config = &state->config;
    ULONG i, value;

    (void)device;
    if ((code & 3u) == METHOD_OUT_DIRECT && irp->MdlAddress)
        direct = MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority);

    switch (code) {
    case KHWSIM_CONFIGURE:
        return complete(irp, configure(buffer, inLen), 0);
    case KHWSIM_READ_LOG:
        if (outLen < state->logUsed)
            return complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
        RtlCopyMemory(buffer, state->log, state->logUsed);
        return complete(irp, STATUS_SUCCESS, state->logUsed);

    case REQ_GABI_PRESENT:
        record(code, NULL, outLen);
        if (config->presenceMode == KHWSIM_FAIL || outLen < PRESENCE_SIZE)
            return complete(irp, STATUS_UNSUCCESSFUL, 0);
        put32(buffer, config->presence);
        return complete(irp, STATUS_SUCCESS, config->presenceMode == KHWSIM_SHORT ? 2 : PRESENCE_SIZE);
    case REQ_GABI_ENTRY:
        record(code, NULL, outLen);
        for (i = 0; i < outLen && i < GABI_ENTRY_SIZE; ++i)
            buffer[i] = config->entry[i];
        return complete(irp, STATUS_SUCCESS, i);
    case REQ_GABI_CALL:
    case REQ_NVRAM_CALL:
    case REQ_SDA_READ:
    case REQ_SDA_WRITE: {
        NTSTATUS status;
        if (!direct)
            return complete(irp, STATUS_INVALID_PARAMETER, 0);
        record(code, direct, outLen);
        status = frameRequest(direct, outLen, code == REQ_SDA_READ || code == REQ_SDA_WRITE, &information);
        return complete(irp, status, information);
    }

    case REQ_READ_NBE:
        record(code, NULL, outLen);
        if (outLen < NBE_SIZE)
            return complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
        for (i = 0; i < NBE_SIZE; ++i)
            buffer[i] = (UCHAR)(0xB0 + i);
        return complete(irp, STATUS_SUCCESS, NBE_SIZE);
    case REQ_SMBIOS_ENTRY:
        record(code, NULL, outLen);
        if (outLen < SMBIOS_ENTRY_SIZE)
            return complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
        RtlZeroMemory(buffer, SMBIOS_ENTRY_SIZE);
        buffer[0] = '_'; buffer[1] = 'S'; buffer[2] = 'M'; buffer[3] = '_';
        buffer[5] = SMBIOS_ENTRY_SIZE;
        buffer[6] = 2; buffer[7] = 7;
        put16(buffer + 22, sizeof smbiosTable);
        return complete(irp, STATUS_SUCCESS, SMBIOS_ENTRY_SIZE);
    case REQ_SMBIOS_TABLE:
        record(code, NULL, outLen);
        for (i = 0; i < outLen && i < sizeof smbiosTable; ++i)
            buffer[i] = smbiosTable[i];
        return complete(irp, STATUS_SUCCESS, i);
    case REQ_PORT_READ:
    case REQ_PORT_WRITE:
        record(code, buffer, inLen);
        if (inLen < PORT_REQUEST_SIZE || outLen < PORT_REQUEST_SIZE)
            return complete(irp, STATUS_INVALID_PARAMETER, 0);
        if (code == REQ_PORT_READ)
            put32(buffer + 4, portRead(get32(buffer + 8)));
        else
            portWrite(get32(buffer + 8), get32(buffer + 4));
        return complete(irp, STATUS_SUCCESS, PORT_REQUEST_SIZE);
    case REQ_MEMORY_READ:
        record(code, buffer, inLen);
        if (inLen < MEMORY_REQUEST_SIZE || !direct)
            return complete(irp, STATUS_INVALID_PARAMETER, 0);
        value = get32(buffer);
        for (i = 0; i < outLen; ++i)
            direct[i] = (UCHAR)(value + i);
        return complete(irp, STATUS_SUCCESS, outLen);
    default:
        return complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
}

static VOID NTAPI driverUnload(PDRIVER_OBJECT driver)
{
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, linkName);
    IoDeleteSymbolicLink(&link);
    if (driver->DeviceObject)
        IoDeleteDevice(driver->DeviceObject);
    if (state) {
        if (state->log)
            ExFreePoolWithTag(state->log, POOL_TAG);
        ExFreePoolWithTag(state, POOL_TAG);
        state = NULL;
    }
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath)
{
    UNICODE_STRING name, link;
    PDEVICE_OBJECT device;
    NTSTATUS status;

    (void)registryPath;
    state = ExAllocatePoolWithTag(NonPagedPool, sizeof(SIM_STATE), POOL_TAG);
    if (!state)
        return STATUS_INSUFFICIENT_RESOURCES;
    RtlZeroMemory(state, sizeof(SIM_STATE));
    state->log = ExAllocatePoolWithTag(NonPagedPool, KHWSIM_LOG_SIZE, POOL_TAG);
    if (!state->log) {
        ExFreePoolWithTag(state, POOL_TAG);
        state = NULL;
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    /* Until a scenario says otherwise: firmware present, every call answered 1, 1. */
    state->config.magic = KHWSIM_MAGIC;
    state->config.presence = 1;
    clearLog();
    modelsReset(0);

    driver->MajorFunction[IRP_MJ_CREATE] = dispatchCreateClose;
    driver->MajorFunction[IRP_MJ_CLOSE] = dispatchCreateClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = dispatchControl;
    driver->DriverUnload = driverUnload;

    RtlInitUnicodeString(&name, deviceName);
    status = IoCreateDevice(driver, 0, &name, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
    if (!NT_SUCCESS(status)) {
        driverUnload(driver);
        return status;
    }
    RtlInitUnicodeString(&link, linkName);
    status = IoCreateSymbolicLink(&link, &name);
    if (!NT_SUCCESS(status)) {
        driverUnload(driver);
        return status;
    }
    device->Flags |= DO_BUFFERED_IO;
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}
