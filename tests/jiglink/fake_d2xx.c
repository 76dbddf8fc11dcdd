/* A stand-in for the vendor D2XX library, loaded by the d2xx backend tests.
 * Each device is an in-memory loopback: what is written can be read back.
 * The settings each call receives are kept so tests can check they arrived
 * unchanged, and a few controls make the library answer with failures.
 *
 * Built twice: as the full library, and with FAKE_D2XX_WITHOUT_DRIVER_VERSION
 * as a library that lacks one function. */
#include <stdint.h>
#include <string.h>

#define FAKE_MAX_DEVICES 4
#define FAKE_QUEUE_SIZE 4096

/* Status numbers of the library. */
enum {
    FAKE_OK = 0,
    FAKE_INVALID_HANDLE = 1,
    FAKE_DEVICE_NOT_FOUND = 2,
    FAKE_DEVICE_NOT_OPENED = 3,
    FAKE_INVALID_PARAMETER = 6,
    FAKE_INVALID_BAUD_RATE = 7,
};

#define FAKE_DRIVER_VERSION 0x00021234u
#define FAKE_EVENT_WORD 0x5Au

struct fake_device {
    int open;
    unsigned char queue[FAKE_QUEUE_SIZE];
    unsigned len;
    unsigned long baud;
    unsigned char bits, stop_bits, parity, latency;
    unsigned long read_timeout, write_timeout;
    unsigned long last_purge;
    long resets;
};

static struct fake_device devices[FAKE_MAX_DEVICES];
static long device_count = 2;
static long list_status = FAKE_OK;
static long read_status = FAKE_OK;
/* Nonzero: words written through pointers are 64 bits wide, as a library
 * built with a 64-bit ULONG would write them. */
static long wide_words = 0;

static void put_word(void* p, unsigned v) {
    if (wide_words) {
        uint64_t w = v;
        memcpy(p, &w, sizeof w);
    } else {
        uint32_t w = v;
        memcpy(p, &w, sizeof w);
    }
}

static struct fake_device* device_of(void* handle) {
    for (int i = 0; i < FAKE_MAX_DEVICES; ++i) {
        if (handle == &devices[i] && devices[i].open) return &devices[i];
    }
    return 0;
}

/* ---- test controls (not part of the vendor API) ---- */

void fake_d2xx_control(const char* key, long value) {
    if (strcmp(key, "devices") == 0) device_count = value;
    if (strcmp(key, "list_status") == 0) list_status = value;
    if (strcmp(key, "read_status") == 0) read_status = value;
    if (strcmp(key, "wide_words") == 0) wide_words = value;
}

long fake_d2xx_query(int index, const char* key) {
    if (index < 0 || index >= FAKE_MAX_DEVICES) return -1;
    const struct fake_device* d = &devices[index];
    if (strcmp(key, "open") == 0) return d->open;
    if (strcmp(key, "baud") == 0) return (long)d->baud;
    if (strcmp(key, "bits") == 0) return d->bits;
    if (strcmp(key, "stop_bits") == 0) return d->stop_bits;
    if (strcmp(key, "parity") == 0) return d->parity;
    if (strcmp(key, "latency") == 0) return d->latency;
    if (strcmp(key, "read_timeout") == 0) return (long)d->read_timeout;
    if (strcmp(key, "write_timeout") == 0) return (long)d->write_timeout;
    if (strcmp(key, "last_purge") == 0) return (long)d->last_purge;
    if (strcmp(key, "resets") == 0) return d->resets;
    return -1;
}

/* ---- the library's functions ---- */

unsigned long FT_CreateDeviceInfoList(void* num_devs) {
    if (list_status != FAKE_OK) return (unsigned long)list_status;
    put_word(num_devs, (unsigned)device_count);
    return FAKE_OK;
}

unsigned long FT_Open(int number, void** handle) {
    if (number < 0 || number >= device_count || number >= FAKE_MAX_DEVICES) {
        return FAKE_DEVICE_NOT_FOUND;
    }
    struct fake_device* d = &devices[number];
    if (d->open) return FAKE_DEVICE_NOT_OPENED;
    memset(d, 0, sizeof *d);
    d->open = 1;
    *handle = d;
    return FAKE_OK;
}

unsigned long FT_Close(void* handle) {
    struct fake_device* d = device_of(handle);
    if (!d) return FAKE_INVALID_HANDLE;
    d->open = 0;
    return FAKE_OK;
}

unsigned long FT_ResetDevice(void* handle) {
    struct fake_device* d = device_of(handle);
    if (!d) return FAKE_INVALID_HANDLE;
    d->resets++;
    d->len = 0;
    return FAKE_OK;
}

unsigned long FT_SetBaudRate(void* handle, unsigned long baud) {
    struct fake_device* d = device_of(handle);
    if (!d) return FAKE_INVALID_HANDLE;
    if (baud < 183 || baud > 3000000) return FAKE_INVALID_BAUD_RATE;
    d->baud = baud;
    return FAKE_OK;
}

unsigned long FT_SetDataCharacteristics(void* handle, unsigned char bits, unsigned char stop,
                                        unsigned char parity) {
    struct fake_device* d = device_of(handle);
    if (!d) return FAKE_INVALID_HANDLE;
    if ((bits != 7 && bits != 8) || (stop != 0 && stop != 2) || parity > 4) {
        return FAKE_INVALID_PARAMETER;
    }
    d->bits = bits;
    d->stop_bits = stop;
    d->parity = parity;
    return FAKE_OK;
}

unsigned long FT_SetTimeouts(void* handle, unsigned long read_ms, unsigned long write_ms) {
    struct fake_device* d = device_of(handle);
    if (!d) return FAKE_INVALID_HANDLE;
    d->read_timeout = read_ms;
    d->write_timeout = write_ms;
    return FAKE_OK;
}

unsigned long FT_SetLatencyTimer(void* handle, unsigned char ms) {
    struct fake_device* d = device_of(handle);
    if (!d) return FAKE_INVALID_HANDLE;
    if (ms < 2) return FAKE_INVALID_PARAMETER;
    d->latency = ms;
    return FAKE_OK;
}

unsigned long FT_Write(void* handle, void* buffer, unsigned long n, void* written) {
    struct fake_device* d = device_of(handle);
    if (!d) return FAKE_INVALID_HANDLE;
    unsigned long room = FAKE_QUEUE_SIZE - d->len;
    unsigned long take = n < room ? n : room;
    memcpy(d->queue + d->len, buffer, take);
    d->len += (unsigned)take;
    put_word(written, (unsigned)take);
    return FAKE_OK;
}

unsigned long FT_Read(void* handle, void* buffer, unsigned long n, void* returned) {
    struct fake_device* d = device_of(handle);
    if (!d) return FAKE_INVALID_HANDLE;
    if (read_status != FAKE_OK) {
        put_word(returned, 0);
        return (unsigned long)read_status;
    }
    unsigned long take = n < d->len ? n : d->len;
    memcpy(buffer, d->queue, take);
    memmove(d->queue, d->queue + take, d->len - take);
    d->len -= (unsigned)take;
    put_word(returned, (unsigned)take);
    return FAKE_OK;
}

unsigned long FT_GetStatus(void* handle, void* rx, void* tx, void* event) {
    struct fake_device* d = device_of(handle);
    if (!d) return FAKE_INVALID_HANDLE;
    put_word(rx, d->len);
    put_word(tx, 0);
    put_word(event, FAKE_EVENT_WORD);
    return FAKE_OK;
}

unsigned long FT_Purge(void* handle, unsigned long mask) {
    struct fake_device* d = device_of(handle);
    if (!d) return FAKE_INVALID_HANDLE;
    if (mask == 0 || mask > 3) return FAKE_INVALID_PARAMETER;
    d->last_purge = mask;
    if (mask & 1) d->len = 0;
    return FAKE_OK;
}

#ifndef FAKE_D2XX_WITHOUT_DRIVER_VERSION
unsigned long FT_GetDriverVersion(void* handle, void* version) {
    struct fake_device* d = device_of(handle);
    if (!d) return FAKE_INVALID_HANDLE;
    put_word(version, FAKE_DRIVER_VERSION);
    return FAKE_OK;
}
#endif
