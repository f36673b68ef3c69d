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

#ifdef __cplusplus
}
#endif

#endif /* LORVEX_H */
