// A stand-in for the BitTorrent engine in the service's tests: every KvBT_ function of the
// engine's interface, answering from an in-memory model of one-file torrents and writing down
// the calls that the tests look at. A test program links this instead of libKvBT.so.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kvbt_api.h"

namespace recording_engine {

// What every task the engine creates from now on looks like.
struct TaskShape {
    std::string filePath;  // the file on disk (the engine never writes it)
    std::int64_t fileSize = 0;
    int pieceSize = 0;
    bool allHeld = false;  // pieces held from the start
    int state = KVBT_STATE_READY;
};

// Data handed to KvBT_Downloader_AddPartPieceData.
struct PartData {
    std::int64_t offset = 0;
    std::string bytes;
};

// Forgets every task and every call, and the shape.
void Reset();
void SetTaskShape(const TaskShape& shape);
// Marks pieces [first, last) of a task as held.
void Hold(KvBTHandle handle, int first, int last);

// The priority a piece got at the task's last ApplyPrioritize (-1: none yet).
int AppliedPriority(KvBTHandle handle, int piece);

// Engine-wide upload limits in the order they were set.
std::vector<int> UploadLimits();
// Names of the calls made, in order ("KvBT_Downloader_Release", ...).
std::vector<std::string> Calls();
std::vector<PartData> PartDataAdded();
// Tasks created and not released.
int LiveTasks();

}  // namespace recording_engine
