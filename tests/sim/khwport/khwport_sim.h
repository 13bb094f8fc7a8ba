/* The simulated KHWPORT driver's own control requests, shared by the driver (C)
 * and the scenario tool hwcall.exe, and the one definition of their layouts: the
 * scenarios (tests/e2e/firmware.py) describe a configuration by these field names
 * and hwcall.exe lays it out. Little-endian throughout. */
#ifndef KHWPORT_SIM_H
#define KHWPORT_SIM_H

/* Device type 0x22, any access, buffered: outside the product's codes (0x22E0xx). */
#define KHWSIM_CODE(fn) (0x22u << 16 | (fn) << 2)
#define KHWSIM_CONFIGURE KHWSIM_CODE(0xA00u) /* input: KHWSIM_CONFIG; clears the record */
#define KHWSIM_READ_LOG KHWSIM_CODE(0xA01u)  /* output: the record */

#define KHWSIM_MAGIC 0x5357484Bu
#define KHWSIM_MAX_RULES 32
#define KHWSIM_RULE_DATA 64

/* How a rule, or the presence request, answers. */
#define KHWSIM_REPLY 0u /* status words and data as given */
#define KHWSIM_FAIL 1u  /* the request fails */
#define KHWSIM_SHORT 2u /* answered, but one byte short (presence: 2 bytes) */

/* Without a rule: words 1, 1, 0, 0 unless a family model says otherwise; a
 * directory reply names the output size of the class (NVRAM 1024, setup 128,
 * others 64); an enter returns this service handle at output offset 4. */
#define KHWSIM_SERVICE_HANDLE 0x4B485031u

/* One answer of the firmware, for the first call that matches class, function and
 * version (0: any). A directory query is class 1 with the looked-up class as its
 * function. Data is written into the output block at dataOffset after the words,
 * the default size (directory) and the handle (enter), so it can override them. */
typedef struct KHWSIM_RULE {
    unsigned short serviceClass;
    unsigned short function;
    unsigned short version;
    unsigned short mode;
    unsigned short word1;
    unsigned short word2;
    unsigned short word3;
    unsigned short word4;
    unsigned short dataOffset;
    unsigned short dataLength;
    unsigned char data[KHWSIM_RULE_DATA];
} KHWSIM_RULE; /* 84 bytes */

typedef struct KHWSIM_CONFIG {
    unsigned int magic;
    unsigned int presence;     /* the flag the presence request returns */
    unsigned int presenceMode; /* KHWSIM_REPLY, _FAIL or _SHORT */
    unsigned int ruleCount;
    unsigned char entry[256];  /* the GABI entry reply; byte 8 is its length */
    KHWSIM_RULE rules[KHWSIM_MAX_RULES];
    unsigned int devfwCount;   /* records of the device firmware list */
    unsigned int reserved[3];
} KHWSIM_CONFIG; /* 2976 bytes; configuring also empties the family models' stores */

/* The record: u32 count, u32 dropped, then per request u32 code, u32 size of the
 * request (frame or input bytes; the output size where nothing travels in),
 * u32 bytes kept, the kept bytes as the driver received them. */
#define KHWSIM_LOG_SIZE (512u * 1024u)
#define KHWSIM_LOG_HEADER 8u
#define KHWSIM_RECORD_HEADER 12u
#define KHWSIM_RECORD_MAX 0x11000u

#endif
