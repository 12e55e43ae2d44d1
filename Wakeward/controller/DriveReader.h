#pragma once

#include <filesystem>
#include <wakeward/Result.h>

namespace wakeward {

// Reads at most 4 KB from the start of the file so that the drive under it sees activity.
// Never writes: the file is opened read-only (without updating its access time where
// permitted), its cached pages are dropped first so the read reaches the drive, and it is
// closed again at once. Anything but an ordinary file (a FIFO, a device) is refused.
Status touchDriveFile(const std::filesystem::path& path);

} // namespace wakeward
