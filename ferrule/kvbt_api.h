// The BitTorrent engine's C interface (libKvBT.so), as the streaming service calls it.
//
// A task is an opaque handle; NULL means failure. Functions answering int give 0 on
// success unless stated otherwise. Speeds are bytes per second; a limit <= 0 means
// unlimited. Paths and URLs are UTF-8. Every function may be called from any thread.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#pragma GCC visibility push(default)

typedef struct KvBTTask* KvBTHandle;

// Start-up switches. The service passes 1, 1, 1, 0, 1 and a zero port. With enableUtp the
// engine takes uTP connections from peers; it reaches peers over TCP either way.
typedef struct KvBTStartupParams {
    int32_t enableDht;
    int32_t enableLsd;
    int32_t enableUpnp;
    int32_t enableNatPmp;
    int32_t enableUtp;
    uint16_t listenPort;  // 0: any free port
    uint16_t reserved;
} KvBTStartupParams;

// Task states of KvBT_Downloader_GetState.
enum {
    KVBT_STATE_UNKNOWN = 0,      // no such task, or the task failed
    KVBT_STATE_CHECKING = 1,     // an upload-only task still checking its files
    KVBT_STATE_METADATA = 2,     // waiting for the torrent's metadata
    KVBT_STATE_READY = 3,        // metadata present
    KVBT_STATE_UPLOAD_READY = 4  // an upload-only task with its files checked
};

// --- engine ---------------------------------------------------------------------------
int KvBT_AddAppToWindowsXPFirewall(const char* modulePath, const char* name);  // no effect
int KvBT_GetCurrentXPLimit(void);             // 0: no such limit on this system
int KvBT_ChangeXPConnectionLimit(int limit);  // no effect
// listenInterface: the address to listen on ("" or NULL: every interface). The other
// values are kept for the engine's future use.
int KvBT_AddAppSettings(int reserved1, int reserved2, const char* listenInterface, int reserved3,
                        int reserved4, const char* reserved5, int reserved6, int reserved7);
int KvBT_Startup(const KvBTStartupParams* params, int reserved1, int reserved2, int reserved3);
int KvBT_SetMaxCacheSize(int bytes);  // the disk cache is the system's; no effect
int KvBT_SetUploadSpeedLimit(int bytesPerSecond);
int KvBT_SetDownloadSpeedLimit(int bytesPerSecond);
int KvBT_SetMaxHalfOpenConnection(int count);  // kept; connection attempts are paced anyway
int KvBT_PreShutdown(void);                    // saves every task's resume state
int KvBT_Shutdown(void);                       // releases every task and stops the engine

// Events of KvBT_SetEventCallback.
enum {
    KVBT_EVENT_PIECES = 1,   // pieces of the task became held (readable from the file)
    KVBT_EVENT_METADATA = 2  // the task's metadata arrived (state 3 from now on)
};
typedef void (*KvBTEventCallback)(KvBTHandle task, int event, void* context);
// One callback for the whole engine (NULL: none), called on the engine's own thread. When
// this returns, the callback it replaced is not running and is not called again. The
// callback must return quickly and must not call KvBT_SetEventCallback.
int KvBT_SetEventCallback(KvBTEventCallback callback, void* context);

// --- tasks ----------------------------------------------------------------------------
// A task from a torrent file. stateFile keeps the task's resume state between runs; the
// folder that holds it (given as an absolute path) is the caller's records, where no file of
// the task may land, nor below it, unless the save folder itself lies there: a torrent that
// names a file there is refused (NULL here; for a magnet link, state 0 once its metadata has
// come, and nothing of it written before). startPaused: the task checks its files and then
// waits for KvBT_Downloader_Resume. password is accepted for callers' sake and not used.
// isPrivate keeps the task off the DHT, local discovery and peer exchange.
KvBTHandle KvBT_Downloader_Initialize(const char* torrentFile, const char* saveFolder,
                                      const char* stateFile, int startPaused, int reserved1,
                                      int reserved2, const char* password, const char* resumeFile,
                                      int isPrivate, int reserved3);
// A task from a "magnet:" link; its metadata arrives later (state 3), or the task is refused
// (state 0) as above. Other links fail.
KvBTHandle KvBT_Downloader_Initialize_FromUrl(const char* url, const char* saveFolder,
                                              const char* stateFile, int reserved1, int startPaused,
                                              const char* resumeFile, int isPrivate, int reserved2);
int KvBT_Downloader_GetState(KvBTHandle task);
// Writes the torrent file of a task whose metadata is present.
int KvBT_Downloader_SaveTorrentFile(KvBTHandle task, const char* path, int reserved);
// Ends the task and saves its resume state; the files are deleted only with deleteFiles.
int KvBT_Downloader_Release(KvBTHandle task, int deleteFiles);

int KvBT_Downloader_SetDownloadSequence(KvBTHandle task, int sequential);
// host: a name (resolved before the call returns) or an address.
int KvBT_Downloader_AddPeerSource(KvBTHandle task, const char* host, int port);
int KvBT_Downloader_SetMaxSessionPerHttp(KvBTHandle task, int count);   // kept, no effect
int KvBT_Downloader_AddHttpDownload(KvBTHandle task, const char* url);  // an HTTP seed
int KvBT_Downloader_GetDownloadSpeed(KvBTHandle task);                  // bytes per second

int KvBT_Downloader_GetFileCount(KvBTHandle task);
int KvBT_Downloader_IsPadFile(KvBTHandle task, int index);
int64_t KvBT_Downloader_GetFileSize(KvBTHandle task, int index);
int64_t KvBT_Downloader_GetFileOffset(KvBTHandle task, int index);
int64_t KvBT_Downloader_GetTotalFileSize(KvBTHandle task);
// The file's path: on disk when fullPath is 1, else inside the torrent. *length is the
// buffer's size in bytes; on success it gets the path's length, and when the buffer is too
// small the call fails and *length gets the size needed (with the terminating NUL).
int KvBT_Downloader_GetFilePathName(KvBTHandle task, int index, char* buffer, int* length,
                                    int fullPath);

int KvBT_Downloader_GetPieceSize(KvBTHandle task);
int KvBT_Downloader_GetPieceCount(KvBTHandle task);
// One byte per piece (1: held and readable from the file, 0: not), for up to `count`
// pieces; *held gets the number of pieces held. Answers from the engine's own record
// without waiting for the download.
int KvBT_Downloader_GetPiecesStatus(KvBTHandle task, unsigned char* buffer, int count, int* held);
// priority 0 skip, 1 normal, 2 most urgent; takes effect on KvBT_Downloader_ApplyPrioritize.
int KvBT_Downloader_SetPiecePrioritize(KvBTHandle task, int piece, int priority, int reserved);
int KvBT_Downloader_ApplyPrioritize(KvBTHandle task);

int KvBT_Downloader_SetMaxTotalConnections(KvBTHandle task, int count);
int KvBT_Downloader_SetDownloadLimit(KvBTHandle task, int bytesPerSecond);
int KvBT_Downloader_SetUploadLimit(KvBTHandle task, int bytesPerSecond);
int KvBT_Downloader_IsPaused(KvBTHandle task);  // 1 paused (or about to pause), else 0
int KvBT_Downloader_Resume(KvBTHandle task);
int KvBT_Downloader_SetOnlyUpload(KvBTHandle task, int on);

// Fills the 432-byte downloader information (see kvbt_downloader_info.h).
int KvBT_GetDownloaderInfo(KvBTHandle task, void* info);
// Data of the torrent from another source: every whole piece inside [offset, offset +
// length) is handed to the engine, which checks it like data from a peer.
int KvBT_Downloader_AddPartPieceData(KvBTHandle task, int64_t offset, int64_t length,
                                     const char* data);

#pragma GCC visibility pop

#ifdef __cplusplus
}
#endif
