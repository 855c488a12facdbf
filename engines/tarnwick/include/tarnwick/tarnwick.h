// The download engine: one file per downloader, fetched over HTTP(S) on a worker thread, with
// enough kept in a resume file to continue a broken download later with a Range request.
//
// Every function is safe to call with a null handle (it then reports failure or does nothing).
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

#if defined(TARNWICK_BUILDING)
#define TARNWICK_API __attribute__((visibility("default")))
#else
#define TARNWICK_API
#endif

typedef struct TarnwickDownloader* TarnwickHandle;

// Downloader states.
enum {
    TARNWICK_STATE_RUNNING = 1,
    TARNWICK_STATE_FAILED = 3,
    TARNWICK_STATE_COMPLETE = 5,
};

// Results of the functions that answer an int.
enum {
    TARNWICK_OK = 0,
    TARNWICK_ERROR_ARGUMENT = -1,
    TARNWICK_ERROR_NOT_STARTED = -2,
    TARNWICK_ERROR_RESUME_FILE = -3,
    TARNWICK_ERROR_TARGET = -4,
};

typedef struct TarnwickRequest {
    const char* url;       // http or https, UTF-8
    const char* folder;    // created when missing
    const char* fileName;  // a plain name inside folder
    int connections;       // the engine uses one connection; any value is accepted
} TarnwickRequest;

typedef struct TarnwickOptions {
    const char* resumePath;     // where the engine keeps what a later Load needs; "" or null: none
    const char* userAgent;      // "" or null: the engine's own
    int connectTimeoutSeconds;  // 0: 15 s
    int stallTimeoutSeconds;    // 0: 30 s; a transfer that moves no byte for this long fails
    int retryCount;             // further attempts after a broken transfer, each resuming
    long long maxBytesPerSecond;  // -1 or 0: unlimited
    long long maxFileBytes;       // a file that grows beyond this fails, with no byte beyond
                                  // it written; -1 or 0: unbounded
} TarnwickOptions;

// Version information of the program that uses the engine (sent as part of the user agent).
TARNWICK_API int Tarnwick_SetVerInfo(const char* product, const char* version);
// Prepares the engine; call once before the first download. TARNWICK_OK on success.
TARNWICK_API int Tarnwick_Startup(void);

// Starts a fresh download of request->url into folder/fileName (an existing file is replaced).
// TARNWICK_OK and a running downloader in *handle, or an error and *handle = null.
TARNWICK_API int Tarnwick_Downloader_Initialize(const TarnwickRequest* request,
                                                TarnwickHandle* handle,
                                                const TarnwickOptions* options);
// Continues the download recorded in resumePath from the bytes already in its file.
// TARNWICK_OK and a running downloader in *handle, or an error and *handle = null (the resume
// file is missing or unreadable, or its file name is not a plain name inside its folder).
TARNWICK_API int Tarnwick_Downloader_Load(TarnwickHandle* handle, const char* resumePath);

// TARNWICK_STATE_RUNNING, _COMPLETE or _FAILED (also for a null handle).
TARNWICK_API int Tarnwick_Downloader_GetState(TarnwickHandle handle);
// Total size in bytes, or -1 while the server has not said it.
TARNWICK_API long long Tarnwick_Downloader_GetFileSize(TarnwickHandle handle);
// Bytes in the target file so far.
TARNWICK_API long long Tarnwick_Downloader_GetDownloadedSize(TarnwickHandle handle);
// Bytes still to come, or -1 while the total is unknown.
TARNWICK_API long long Tarnwick_Downloader_GetLeftSize(TarnwickHandle handle);

// Stops the download (waiting for the worker to finish) and frees the handle. With
// deleteFiles 0 an unfinished download keeps its partial file and resume file for a later
// Load; with non-zero both are removed. A complete file is always kept.
TARNWICK_API int Tarnwick_Downloader_Release(TarnwickHandle handle, int deleteFiles);

#ifdef __cplusplus
}
#endif
