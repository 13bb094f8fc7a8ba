/* The simulated firmware's families; see khwport_models.h. */
#include "tests/sim/khwport/khwport_models.h"

/* Classes and the status word 2 values the models answer with. */
#define CLASS_SETUP 2u
#define CLASS_SDA_ALIAS 5u
#define CLASS_NVRAM 7u
#define CLASS_SDA 0x8000u
#define CLASS_DEVFW 0x8002u
#define WORD_NOT_FOUND 0x104u
#define WORD_REFUSED 0x103u
#define WORD_WRONG_PASSWORD 0x102u
#define WORD_NO_ROOM 0x10Eu

static BOOLEAN fits(ULONG size, ULONG at, ULONG length) { return at <= size && length <= size - at; }

static BOOLEAN same(const UCHAR *a, const UCHAR *b, ULONG n)
{
    ULONG i;
    for (i = 0; i < n; ++i)
        if (a[i] != b[i])
            return FALSE;
    return TRUE;
}

static void copyBytes(UCHAR *to, const UCHAR *from, ULONG n)
{
    ULONG i;
    for (i = 0; i < n; ++i)
        to[i] = from[i];
}

static ULONG smaller(ULONG a, ULONG b) { return a < b ? a : b; }

/* ---- ports ------------------------------------------------------------------ */

#define PORT_SLOTS 16
static struct {
    BOOLEAN used;
    ULONG port, value;
} ports[PORT_SLOTS];

void portWrite(ULONG port, ULONG value)
{
    ULONG i, free = PORT_SLOTS;
    for (i = 0; i < PORT_SLOTS; ++i) {
        if (ports[i].used && ports[i].port == port) {
            ports[i].value = value;
            return;
        }
        if (!ports[i].used && free == PORT_SLOTS)
            free = i;
    }
    if (free < PORT_SLOTS) {
        ports[free].used = TRUE;
        ports[free].port = port;
        ports[free].value = value;
    }
}

/* A port never written reads 0xA5000000 | port. */
ULONG portRead(ULONG port)
{
    ULONG i;
    for (i = 0; i < PORT_SLOTS; ++i)
        if (ports[i].used && ports[i].port == port)
            return ports[i].value;
    return 0xA5000000u | port;
}

/* ---- NVRAM store (class 7) ---------------------------------------------------- */

#define NV_ITEMS 8
#define NV_NAME 64
#define NV_DATA 256
typedef struct NV_ITEM {
    BOOLEAN used;
    UCHAR guid[16];
    ULONG attributes, nameLength, dataLength;
    UCHAR name[NV_NAME];
    UCHAR data[NV_DATA];
} NV_ITEM;
static NV_ITEM nvItems[NV_ITEMS];

/* A wire item into out[0, room): bytes written, 0 when it does not fit. */
static ULONG nvWireItem(UCHAR *out, ULONG room, const NV_ITEM *item)
{
    ULONG size = 36 + item->nameLength + item->dataLength;
    if (size > room)
        return 0;
    copyBytes(out, item->guid, 16);
    put32(out + 16, item->attributes);
    put32(out + 20, item->dataLength);
    put32(out + 24, 0);
    put32(out + 28, item->nameLength);
    put32(out + 32, 0);
    copyBytes(out + 36, item->name, item->nameLength);
    copyBytes(out + 36 + item->nameLength, item->data, item->dataLength);
    return size;
}

/* The request's payload: from input offset 16, as long as its u64 length says and
 * the block holds. */
static ULONG payloadLength(const SIM_CALL *c)
{
    if (c->li < 16)
        return 0;
    return get32(c->input + 12) ? c->li - 16 : smaller(get32(c->input + 8), c->li - 16);
}

/* Get: header (type 1 for version 1, type 2 with two extra words for version 2),
 * then the stored items asked for by name and GUID (all of them for an empty
 * list), the end marker; the value at 8 counts the payload to its end. */
static void nvramGet(SIM_CALL *c)
{
    const UCHAR *list = c->input + 16;
    ULONG listLength = payloadLength(c), type = c->version == 2 ? 2 : 1, size = type == 1 ? 32 : 48;
    ULONG room, at, p, i;
    UCHAR *out;
    BOOLEAN named = FALSE;

    if (c->lo < 16 + 2 + size + 16) {
        c->word2 = WORD_NO_ROOM;
        return;
    }
    out = c->output + 16;
    room = c->lo - 16;
    put16(out, 0x4D48);
    put16(out + 2, (USHORT)size);
    put16(out + 4, (USHORT)type);
    for (i = 0; i < size - 4; ++i)
        out[6 + i] = (UCHAR)(0x60 + i);
    if (type == 2) {
        put32(out + 2 + 40, 0xA1);
        put32(out + 2 + 44, 0xA2);
    }
    at = 2 + size;
    for (p = 2; fits(listLength, p, 2) && get16(list + p) != 0;) {
        ULONG end = p, nameLength;
        while (fits(listLength, end, 2) && get16(list + end) != 0)
            end += 2;
        if (!fits(listLength, end + 2, 16))
            break;
        nameLength = end + 2 - p;
        named = TRUE;
        for (i = 0; i < NV_ITEMS; ++i) {
            const NV_ITEM *item = &nvItems[i];
            if (item->used && item->nameLength == nameLength && same(item->name, list + p, nameLength) &&
                same(item->guid, list + end + 2, 16))
                at += nvWireItem(out + at, room - 16 - at, item);
        }
        p = end + 2 + 16;
    }
    for (i = 0; !named && i < NV_ITEMS; ++i)
        if (nvItems[i].used)
            at += nvWireItem(out + at, room - 16 - at, &nvItems[i]);
    for (i = 0; i < 16; ++i)
        out[at + i] = 0;
    put32(c->output + 8, at + 16);
    put32(c->output + 12, 0);
}

static void nvramStore(SIM_CALL *c, const UCHAR *wire, ULONG nameLength, ULONG dataLength)
{
    ULONG i, slot = NV_ITEMS;
    if (nameLength > NV_NAME || dataLength > NV_DATA) {
        c->word2 = WORD_NO_ROOM;
        return;
    }
    for (i = 0; i < NV_ITEMS; ++i) {
        if (nvItems[i].used && nvItems[i].nameLength == nameLength && same(nvItems[i].name, wire + 36, nameLength) &&
            same(nvItems[i].guid, wire, 16)) {
            slot = i;
            break;
        }
        if (!nvItems[i].used && slot == NV_ITEMS)
            slot = i;
    }
    if (slot == NV_ITEMS) {
        c->word2 = WORD_NO_ROOM;
        return;
    }
    nvItems[slot].used = TRUE;
    copyBytes(nvItems[slot].guid, wire, 16);
    nvItems[slot].attributes = get32(wire + 16);
    nvItems[slot].nameLength = nameLength;
    copyBytes(nvItems[slot].name, wire + 36, nameLength);
    nvItems[slot].dataLength = dataLength;
    copyBytes(nvItems[slot].data, wire + 36 + nameLength, dataLength);
}

/* Set: header, name list, then items until a zero GUID. */
static void nvramSet(SIM_CALL *c)
{
    const UCHAR *payload = c->input + 16;
    ULONG length = payloadLength(c), p, names;
    if (!fits(length, 4, 2))
        return;
    names = 4 + get16(payload + 4);
    if (!fits(length, names, 2))
        return;
    for (p = names + 2 + get16(payload + names); fits(length, p, 36); ) {
        ULONG nameLength = get32(payload + p + 28), dataLength = get32(payload + p + 20);
        static const UCHAR zero[16];
        if (same(payload + p, zero, 16))
            break;
        if (!fits(length, p + 36, nameLength) || !fits(length, p + 36 + nameLength, dataLength)) {
            c->word2 = WORD_NO_ROOM;
            break;
        }
        nvramStore(c, payload + p, nameLength, dataLength);
        p += 36 + nameLength + dataLength;
    }
}

/* ---- setup (class 2): items, boot order, default values, passwords ---------- */

#define SETUP_ITEMS 8
#define SETUP_DATA 32
#define PASSWORD_KINDS 6
#define PASSWORD_SIZE 16
static struct {
    BOOLEAN used;
    USHORT number, second, length;
    UCHAR data[SETUP_DATA];
} setupItems[SETUP_ITEMS];
static UCHAR bootOrder[SETUP_DATA];
static USHORT bootSelector, defaultValues;
static struct {
    ULONG length;
    UCHAR bytes[PASSWORD_SIZE];
} passwords[PASSWORD_KINDS];

/* A credential enters when no password of its kind is set, or it equals it. */
static void setupEnter(SIM_CALL *c)
{
    USHORT kind;
    ULONG length, at;
    if (c->li < 13)
        return;
    kind = get16(c->input + 8);
    if (c->version == 1) {
        length = get16(c->input + 10);
        at = 12;
    } else {
        length = get16(c->input + 11);
        at = 13;
    }
    if (kind >= PASSWORD_KINDS || passwords[kind].length == 0)
        return;
    if (!fits(c->li, at, length) || length != passwords[kind].length ||
        !same(c->input + at, passwords[kind].bytes, length))
        c->word2 = WORD_REFUSED;
}

static void setupSetPassword(SIM_CALL *c)
{
    const UCHAR *in = c->input;
    ULONG kind = get16(in + 8), at = c->version == 3 ? 15 : 12, first, second;
    if (kind >= PASSWORD_KINDS || !fits(c->li, at, 2))
        return;
    first = get16(in + at);
    if (!fits(c->li, at + 2, first) || !fits(c->li, at + 2 + first, 2))
        return;
    second = get16(in + at + 2 + first);
    if (!fits(c->li, at + 4 + first, second) || second > PASSWORD_SIZE)
        return;
    if (passwords[kind].length &&
        (first != passwords[kind].length || !same(in + at + 2, passwords[kind].bytes, first))) {
        c->word2 = WORD_WRONG_PASSWORD;
        return;
    }
    passwords[kind].length = second;
    copyBytes(passwords[kind].bytes, in + at + 4 + first, second);
}

static void setupCall(SIM_CALL *c)
{
    UCHAR *out = c->output;
    ULONG i;
    if (c->function == 1) {
        setupEnter(c);
        return;
    }
    if (c->li < 16 || c->lo < 12)
        return;
    if (c->function == 3 && c->category == 1) { /* setup item: words, u32, data from 20 */
        for (i = 0; i < SETUP_ITEMS; ++i)
            if (setupItems[i].used && setupItems[i].number == get16(c->input + 8))
                break;
        if (i == SETUP_ITEMS || c->lo < 20) {
            c->word2 = WORD_NOT_FOUND;
            return;
        }
        put16(out + 8, setupItems[i].number);
        put16(out + 10, setupItems[i].length);
        put32(out + 16, setupItems[i].second);
        copyBytes(out + 20, setupItems[i].data, smaller(setupItems[i].length, c->lo - 20));
    } else if (c->function == 4 && c->category == 1) {
        ULONG length = get16(c->input + 12), slot = SETUP_ITEMS;
        for (i = 0; i < SETUP_ITEMS; ++i) {
            if (setupItems[i].used && setupItems[i].number == get16(c->input + 8)) {
                slot = i;
                break;
            }
            if (!setupItems[i].used && slot == SETUP_ITEMS)
                slot = i;
        }
        if (slot == SETUP_ITEMS || length > SETUP_DATA || !fits(c->li, 14, length)) {
            c->word2 = WORD_NO_ROOM;
            return;
        }
        setupItems[slot].used = TRUE;
        setupItems[slot].number = get16(c->input + 8);
        setupItems[slot].second = get16(c->input + 10);
        setupItems[slot].length = (USHORT)length;
        copyBytes(setupItems[slot].data, c->input + 14, length);
    } else if (c->function == 3 && c->category == 2) { /* boot order: selector, size, data from 12 */
        put16(out + 8, bootSelector);
        put16(out + 10, SETUP_DATA);
        copyBytes(out + 12, bootOrder, smaller(SETUP_DATA, c->lo - 12));
    } else if (c->function == 4 && c->category == 2) {
        bootSelector = get16(c->input + 8);
        copyBytes(bootOrder, c->input + 12, smaller(SETUP_DATA, c->li - 12));
    } else if (c->function == 3 && c->category == 5) {
        put16(out + 8, defaultValues);
        put16(out + 10, 0x5A);
    } else if (c->function == 4 && c->category == 5) {
        defaultValues = get16(c->input + 8);
    } else if (c->function == 3 && c->category == 3) { /* password property: kind, whether set */
        ULONG kind = get16(c->input + 8);
        if (c->version == 2 && kind == 4 && get16(c->input + 12) == 2)
            kind = 5;
        put16(out + 8, (USHORT)kind);
        put16(out + 10, kind < PASSWORD_KINDS && passwords[kind].length ? 1 : 0);
    } else if (c->function == 4 && c->category == 3) {
        setupSetPassword(c);
    }
}

/* ---- system data (class 0x8000, and 5) ---------------------------------------- */

#define SDA_ITEMS 4
#define SDA_DATA 64
static struct {
    BOOLEAN used;
    ULONG selector1, selector2, length;
    UCHAR data[SDA_DATA];
} sdaItems[SDA_ITEMS];

static ULONG sdaFind(const SIM_CALL *c)
{
    ULONG i, s1 = 0, s2 = 0;
    if (c->li >= 16) {
        s1 = get32(c->input + 8);
        s2 = get32(c->input + 12);
    }
    for (i = 0; i < SDA_ITEMS; ++i)
        if (sdaItems[i].used && sdaItems[i].selector1 == s1 && sdaItems[i].selector2 == s2)
            return i;
    return SDA_ITEMS;
}

static void sdaCall(SIM_CALL *c)
{
    ULONG i = sdaFind(c);
    if (c->function == 3) { /* size, both selectors, a tag */
        if (i == SDA_ITEMS || c->lo < 24) {
            c->word2 = WORD_NOT_FOUND;
            return;
        }
        put32(c->output + 8, sdaItems[i].length);
        put32(c->output + 12, sdaItems[i].selector1);
        put32(c->output + 16, sdaItems[i].selector2);
        put32(c->output + 20, 0x53444131);
    } else if (c->function == 4) { /* the item's data into the extra part */
        if (i == SDA_ITEMS) {
            c->word2 = WORD_NOT_FOUND;
            return;
        }
        copyBytes(c->extra, sdaItems[i].data, smaller(sdaItems[i].length, c->le));
    } else if (c->function == 5 && c->li >= 20) { /* length at 16, the data in the extra part */
        ULONG length = smaller(get32(c->input + 16), c->le);
        if (i == SDA_ITEMS) {
            for (i = 0; i < SDA_ITEMS && sdaItems[i].used; ++i)
                ;
        }
        if (i == SDA_ITEMS || length > SDA_DATA) {
            c->word2 = WORD_NO_ROOM;
            return;
        }
        sdaItems[i].used = TRUE;
        sdaItems[i].selector1 = get32(c->input + 8);
        sdaItems[i].selector2 = get32(c->input + 12);
        sdaItems[i].length = length;
        copyBytes(sdaItems[i].data, c->extra, length);
    } else if (c->function == 6 && c->li >= 12 && c->lo >= 20) { /* the index-th item's selectors and size */
        ULONG index = get32(c->input + 8), n = 0;
        for (i = 0; i < SDA_ITEMS; ++i) {
            if (!sdaItems[i].used)
                continue;
            if (n++ == index)
                break;
        }
        if (i == SDA_ITEMS) {
            c->word2 = WORD_NOT_FOUND;
            return;
        }
        put32(c->output + 8, sdaItems[i].selector1);
        put32(c->output + 12, sdaItems[i].selector2);
        put32(c->output + 16, sdaItems[i].length);
    }
}

/* ---- device firmware list (class 0x8002) -------------------------------------- */

static ULONG devfwCount;

/* value, count, then 30-byte records: GUID, u16, u64, u32, each from the index. */
static void devfwCall(SIM_CALL *c)
{
    ULONG i, g;
    if ((c->function != 4 && c->function != 5) || c->lo < 14)
        return;
    put32(c->output + 8, 0x00F0F000u | c->function);
    put16(c->output + 12, (USHORT)devfwCount);
    for (i = 0; i < devfwCount && fits(c->lo, 14 + i * 30, 30); ++i) {
        UCHAR *r = c->output + 14 + i * 30;
        for (g = 0; g < 16; ++g)
            r[g] = (UCHAR)(0x10 * (i + 1) + g);
        put16(r + 16, (USHORT)(0x100 + i));
        put32(r + 18, 0x00030000u + i);
        put32(r + 22, 0x00010002u);
        put32(r + 26, 0x20240000u + i);
    }
}

/* ---- dispatch ------------------------------------------------------------------ */

void modelsReset(ULONG count)
{
    static const UCHAR sample[] = "NORVANE-SDA-0";
    ULONG i;
    RtlZeroMemory(ports, sizeof ports);
    RtlZeroMemory(nvItems, sizeof nvItems);
    RtlZeroMemory(setupItems, sizeof setupItems);
    RtlZeroMemory(bootOrder, sizeof bootOrder);
    RtlZeroMemory(passwords, sizeof passwords);
    RtlZeroMemory(sdaItems, sizeof sdaItems);
    bootSelector = defaultValues = 0;
    /* One system data item to read: selectors 0 and 0, bytes 0x40 and up; one to
     * find by name. */
    sdaItems[0].used = TRUE;
    sdaItems[0].length = SDA_DATA;
    for (i = 0; i < SDA_DATA; ++i)
        sdaItems[0].data[i] = (UCHAR)(0x40 + i);
    sdaItems[1].used = TRUE;
    sdaItems[1].selector1 = 0x10;
    sdaItems[1].selector2 = 0x20;
    sdaItems[1].length = sizeof sample - 1;
    copyBytes(sdaItems[1].data, sample, sizeof sample - 1);
    devfwCount = count;
}

USHORT modelOutputSize(USHORT cls)
{
    switch (cls) {
    case CLASS_NVRAM:
        return 1024;
    case CLASS_SETUP:
        return 128;
    default:
        return 64;
    }
}

void modelAnswer(SIM_CALL *c)
{
    if (c->function == 2)
        return; /* every exit is accepted */
    switch (c->cls) {
    case CLASS_NVRAM:
        if (c->function == 3)
            nvramGet(c);
        else if (c->function == 4)
            nvramSet(c);
        break;
    case CLASS_SETUP:
        setupCall(c);
        break;
    case CLASS_SDA:
    case CLASS_SDA_ALIAS:
        if (c->function != 1)
            sdaCall(c);
        break;
    case CLASS_DEVFW:
        devfwCall(c);
        break;
    default:
        break;
    }
}
