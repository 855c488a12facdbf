// The streaming service's exports, looked up by name on the process's streaming library
// handle. In a player process the handle stays null, so every call below is skipped there.
#pragma once

#include "ferrule_api.h"

// Lookups: the export, or null when the library is not loaded or lacks it.
ZP2PInitServerFn LookupP2PInitServer();
ZP2PGetTaskInfoFn LookupP2PGetTaskInfo();
ZP2PSetSpeedLimitFn LookupZP2PSetSpeedLimit();
ZP2PFreeTaskInfoDataFn LookupZP2PFreeTaskInfoData();

// Callers: look the export up and call it. False (nothing called) when it is missing;
// P2PGetTaskInfo also answers false when the service did.
bool P2PInitServer(int port, int a1, int a2, const char* s1, int a3, int a4, const char* s2, int a5,
                   int a6);
bool P2PGetTaskInfo(const char* url, ZP2PTaskInfo* info);
bool P2PSetSpeedLimit(int download, int upload);
bool P2PFreeTaskInfoData(ZP2PTaskInfo* info);
