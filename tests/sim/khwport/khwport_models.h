/* The firmware behind the simulated KHWPORT driver, one small model per family:
 * NVRAM store, setup items and passwords, system data items, the device firmware
 * list, and a port space. Each model answers the calls of its class with data
 * and status words; a scenario's rules (khwport_sim.h) still override words and
 * bytes afterwards. Kernel-mode C: no runtime, bounds checked against every block. */
#ifndef KHWPORT_MODELS_H
#define KHWPORT_MODELS_H

#include <ddk/wdm.h>

static inline USHORT get16(const UCHAR *p) { return (USHORT)(p[0] | p[1] << 8); }
static inline ULONG get32(const UCHAR *p)
{
    return (ULONG)p[0] | (ULONG)p[1] << 8 | (ULONG)p[2] << 16 | (ULONG)p[3] << 24;
}
static inline void put16(UCHAR *p, USHORT v)
{
    p[0] = (UCHAR)v;
    p[1] = (UCHAR)(v >> 8);
}
static inline void put32(UCHAR *p, ULONG v)
{
    put16(p, (USHORT)v);
    put16(p + 2, (USHORT)(v >> 16));
}

/* One firmware call over its blocks (extra: the extended frame's fourth part). */
typedef struct SIM_CALL {
    UCHAR *control, *input, *output, *extra;
    ULONG lc, li, lo, le;
    USHORT cls, function, version, category;
    USHORT word1, word2, word3, word4; /* the answer, 1 1 0 0 unless a model says otherwise */
} SIM_CALL;

/* Empties every store; devfwCount records make up the device firmware list. */
void modelsReset(ULONG devfwCount);
/* The output block size a directory query names for a class. */
USHORT modelOutputSize(USHORT cls);
/* Answers a call of a modelled class (2, 5, 7, 0x8000, 0x8002). */
void modelAnswer(SIM_CALL *call);

void portWrite(ULONG port, ULONG value);
ULONG portRead(ULONG port);

#endif
