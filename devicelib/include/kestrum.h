/* kestrum: the device connection library (TCP port 9001).
 *
 * Every call takes and returns plain C types so that the program can load it
 * like any vendor library. Handles are 32-bit signed: 1 or more is a usable
 * connection, anything below 1 means none or failure. Calls on different
 * handles may run on different threads at the same time. Callbacks run on the
 * thread that made the call that triggers them. Every call that waits for the
 * device ends by a deadline however many keep-alives arrive, then fails with
 * KESTRUM_FAIL_TIMEOUT and drops the connection (docs/protocol.md lists them).
 */
#ifndef KESTRUM_H
#define KESTRUM_H

#include <stdint.h>

#if defined(_WIN32)
#define KESTRUM_API __declspec(dllexport)
#else
#define KESTRUM_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Fixed sizes shared by the library and its callers. */
#define KESTRUM_HARDWARE_NAME_SIZE 17 /* LoginServer's hardware name out, NUL included */
#define KESTRUM_CREDENTIAL_SIZE 65    /* user name and password fields, NUL included */
#define KESTRUM_LIST_ENTRY_SIZE 48    /* one directory entry of a listing reply */
#define KESTRUM_LIST_MAX_ENTRIES 10   /* entries in one listing reply at the most */
#define KESTRUM_LIST_BUFFER_SIZE 516  /* RecvData never writes more than this for a listing */
#define KESTRUM_FILE_BUFFER_SIZE 44   /* RecvData never writes more than this for a download */
#define KESTRUM_PATCH_NAME_SIZE 260   /* GetFile2Patch name buffer, NUL included */
#define KESTRUM_PATCH_INFO_SIZE 8192  /* GetFile2Patch information (path) buffer, NUL included */

/* Negative results of the library's own failures, for every call. The
 * device's patch refusals pass through as KESTRUM_SEND_HARDWARE_MISMATCH and
 * KESTRUM_SEND_BUSY. */
#define KESTRUM_FAIL_CONNECTION (-1) /* no connection, or the peer closed it */
#define KESTRUM_FAIL_ARGUMENT (-2)   /* bad argument, unknown handle or transfer id */
#define KESTRUM_FAIL_TIMEOUT (-3)    /* the device stayed silent too long */
#define KESTRUM_FAIL_REFUSED (-5)    /* the device refused (MD5 mismatch included) */
#define KESTRUM_FAIL_MALFORMED (-7)  /* the device broke the protocol */
#define KESTRUM_FAIL_LOCAL_FILE (-8) /* a local file could not be read or written */
#define KESTRUM_FAIL_CANCELLED (-9)  /* StopRecvFile or ReleaseSocket ended the call */
#define KESTRUM_FAIL_TOO_LARGE (-10) /* a size the interface cannot carry */

/* SearchDir request codes. */
#define KESTRUM_REQ_LIST_ROOT 1
#define KESTRUM_REQ_LIST_DIR 2
#define KESTRUM_REQ_GET_FILE 4
#define KESTRUM_REQ_GET_FILE_MD5 5
#define KESTRUM_REQ_BACKTRACK 15
#define KESTRUM_REQ_REBOOT 80

/* RecvData statuses. */
#define KESTRUM_RECV_LIST 1       /* listing: *count entries are in the buffer; 0 ends */
#define KESTRUM_RECV_GO_ON 2      /* download: call RecvData again (this library waits instead) */
#define KESTRUM_RECV_SIZE_KNOWN 3 /* download: *size holds the file size, call RecvFile */

/* LoginServer results. */
#define KESTRUM_LOGIN_OK 0
#define KESTRUM_LOGIN_NO_SUCH_USER 8
#define KESTRUM_LOGIN_WRONG_PASSWORD 9

/* SendUpdatePatch results (besides the new version number, 8 or more). */
#define KESTRUM_SEND_HARDWARE_MISMATCH (-4)
#define KESTRUM_SEND_BUSY (-6)
#define KESTRUM_SEND_DELIVERED 7

/* Progress channels of the curprogress callback. */
#define KESTRUM_CHANNEL_DOWNLOAD_FIRST 1
#define KESTRUM_CHANNEL_DOWNLOAD_LAST 4
#define KESTRUM_CHANNEL_MAKE_PATCH 90
#define KESTRUM_CHANNEL_SEND_PATCH 91
#define KESTRUM_SEND_UNPACK_STAGE 40 /* channel 91 reports exactly this when unpacking starts */

typedef void (*kestrum_curprogress_fn)(int32_t value, uint16_t channel);
typedef void (*kestrum_getfile2patch_fn)(char* name, char* info, int32_t index);

KESTRUM_API int32_t ConnectServer(const char* address, int32_t port);
KESTRUM_API void ReleaseSocket(int32_t* handle);
KESTRUM_API int32_t LoginServer(char hardwareName[17], int32_t* version, int32_t* updatePending,
                                int32_t* backtrackAvailable, const char userName[65],
                                const char password[65], int32_t* handle);
/* Sends a request. Every request that has replies gets a new process-wide
 * unique transfer id, written back through transferId, whatever value it
 * held before. Codes 15 and 80 wait for the device's answer: 0 accepted. */
KESTRUM_API int32_t SearchDir(const char* pathOrNull, int32_t requestCode, uint16_t* transferId,
                              int32_t* handle);
KESTRUM_API int32_t RecvData(void* buffer, int32_t* count, int32_t* size, uint16_t transferId,
                             int32_t* handle);
KESTRUM_API int32_t RecvFile(const char* localPath, int32_t size, uint16_t transferId,
                             int32_t* handle);
/* Ends the transfer with this id (the id SearchDir wrote back): a RecvFile
 * still running on it returns a negative status within a tenth of a second. */
KESTRUM_API void StopRecvFile(uint16_t transferId);
/* Download speed limit in KB/s (1 KB = 1024 bytes), shared by all running
 * downloads together; 0 or less means no limit. Takes effect at once, also
 * for downloads already running. */
KESTRUM_API void FlowCtrl(int32_t kbPerSecond);
KESTRUM_API int32_t MakePatch(const char* hardwareName, int32_t newVersion, int32_t oldVersion,
                              int32_t fileCount, const char* outputPath);
KESTRUM_API int32_t SendUpdatePatch(const char* patchPath, const char* md5Hex, int32_t* handle);
KESTRUM_API void set_callback_curprogress(kestrum_curprogress_fn callback);
KESTRUM_API void set_callback_getfile2patch(kestrum_getfile2patch_fn callback);

#ifdef __cplusplus
}
#endif

#endif /* KESTRUM_H */
