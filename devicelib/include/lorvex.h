/* lorvex: UDP discovery of the devices on the local network. */
#ifndef LORVEX_H
#define LORVEX_H

#include <stdint.h>

#if defined(_WIN32)
#define LORVEX_API __declspec(dllexport)
#else
#define LORVEX_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define LORVEX_PROBE_PORT 10008  /* devices listen for the probe here */
#define LORVEX_ANSWER_PORT 10009 /* answers come back to this port */
#define LORVEX_RECORD_DATA_SIZE 376
#define LORVEX_SEARCH_WINDOW_MS 1000 /* UdpSearch collects answers this long, then returns */
/* UdpSearch lists at most this many records; when it holds this many it ends
 * at once, so a list of exactly this length may be missing devices. */
#define LORVEX_MAX_RECORDS 65536
/* UdpSearchRanges sends its unicast probes at this pace. */
#define LORVEX_RANGE_PROBES_PER_SECOND 4000
/* UdpSearchRanges refuses a range list (nothing is sent). */
#define LORVEX_RANGES_REFUSED (-2)

/* One device that answered. The first 376 bytes are the record's data; the
 * link to the next record follows them. Records belong to the library and
 * stay valid until the next UdpSearch call. */
typedef struct DeviceSearchRecord {
  char reserved0[128];
  char address[32];     /* offset 128: dotted decimal, NUL-terminated within the field */
  char reserved1[88];   /* offset 160 */
  char identifier[128]; /* offset 248: NUL-terminated within the field, or all 128 used */
  struct DeviceSearchRecord* next; /* offset 376: null in the last record */
} DeviceSearchRecord;

/* Sends a probe to probePort on loopback and on the broadcast address of
 * every interface that is up, collects answers on answerPort for the search
 * window, drops duplicates and returns the first record, or null when nobody
 * answered. Frees the previous search's records. Blocks for the search
 * window (LORVEX_SEARCH_WINDOW_MS) and no longer, or less when the list
 * reaches LORVEX_MAX_RECORDS. Two devices answering from
 * the same address with the same identifier are listed once. */
LORVEX_API DeviceSearchRecord* UdpSearch(int32_t probePort, int32_t answerPort);

/* The same search for cameras beyond the local broadcast domain: sends the
 * probe by unicast to every address of `ranges`, a comma-separated list of
 * CIDR blocks ("10.1.0.0/24", at most /16 each) and single addresses
 * ("10.2.0.9"), and, when withBroadcast is not 0, the broadcast probes of
 * UdpSearch as well. A block of /30 or wider is probed without its network
 * and broadcast addresses; an address in several ranges is probed once.
 * The unicast probes are paced at LORVEX_RANGE_PROBES_PER_SECOND; answers
 * are collected for the search window, or until 250 ms after the last probe
 * when sending takes longer, into records like UdpSearch's (freeing the
 * previous search's), with duplicates dropped the same way.
 * Returns the number of addresses probed by unicast and sets *first to the
 * first record, or null when nobody answered. Returns LORVEX_RANGES_REFUSED
 * without sending anything when an entry is malformed, wider than /16 or has
 * bits set after its prefix, or the ranges hold more than 65,536 addresses;
 * error (errorSize bytes, always NUL-terminated) then says which entry and
 * why, and is empty otherwise. */
LORVEX_API int32_t UdpSearchRanges(const char* ranges, int32_t withBroadcast, int32_t probePort,
                                   int32_t answerPort, DeviceSearchRecord** first, char* error,
                                   int32_t errorSize);

#ifdef __cplusplus
}
#endif

#endif /* LORVEX_H */
