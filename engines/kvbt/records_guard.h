// Where a task's files may not go: the folder that holds its state file keeps the caller's
// records (the streaming service keeps every task's torrent and state file there), and a
// torrent names its files as it likes, "MediaData/<key>.torrent" as well as anything else.
#pragma once

#include <libtorrent/file_storage.hpp>
#include <string>

namespace kvbt {

// Whether one of the files of `files`, saved in `saveFolder`, would land in the folder of
// `stateFile` (an absolute path; no folder otherwise) or below it. A caller that keeps the save
// folder itself there has put the data among its records on purpose: nothing is refused then.
bool LandsAmongRecords(const lt::file_storage& files, const std::string& saveFolder,
                       const std::string& stateFile);

}  // namespace kvbt
