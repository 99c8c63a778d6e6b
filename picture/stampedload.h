#pragma once

#include "base/runtimeerror.h"
#include "picture/filestamp.h"
#include "picture/loadpicture.h"

#include <optional>

namespace lumora::picture {

// A picture read ahead of being shown: what the reading gave, and the stamp of the file it
// was read from, taken before reading so that a change during the read shows too.
struct StampedLoad {
    FileStamp stamp;
    Picture picture;
    std::optional<RuntimeError> error;

    // The picture as LoadPicture would give it now, or nullopt when it must be read again:
    // the file at `path` changed since, or the memory budget refused the read (the picture it
    // was waiting for may be gone by now). Throws the run-time error the reading raised.
    std::optional<Picture> takeIfCurrent(const QString &path) &&;
};

// Reads `path` as LoadPicture does, keeping a run-time error or running out of memory as
// the result instead of throwing it: meant for a worker thread.
StampedLoad loadStamped(const QString &path, const LoadOptions &options = {});

} // namespace lumora::picture
