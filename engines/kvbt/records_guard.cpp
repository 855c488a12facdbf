#include "records_guard.h"

#include "platform/folder_guard.h"

namespace kvbt {

bool LandsAmongRecords(const lt::file_storage& files, const std::string& saveFolder,
                       const std::string& stateFile) {
    const auto slash = stateFile.find_last_of('/');
    if (stateFile.empty() || stateFile[0] != '/' || slash == std::string::npos) return false;
    platform::FolderGuard records(slash == 0 ? "/" : stateFile.substr(0, slash));
    const std::string save = platform::RealPath(saveFolder);
    if (!save.empty() && records.Covers(save)) return false;
    for (const lt::file_index_t file : files.file_range()) {
        if (!files.pad_file_at(file) && records.Covers(files.file_path(file, saveFolder)))
            return true;
    }
    return false;
}

}  // namespace kvbt
