#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace wakeward {

// The user's choice of a file to read or a place to write; modal, answered on the main thread.
class FileDialogs {
public:
    FileDialogs() = default;
    virtual ~FileDialogs() = default;
    FileDialogs(const FileDialogs&) = delete;
    FileDialogs& operator=(const FileDialogs&) = delete;

    /// Asks for one existing ordinary file; none when the user cancels.
    virtual std::optional<std::filesystem::path> openFile(const std::string& title) = 0;
    /// Asks where to save, proposing a file name; none when the user cancels.
    virtual std::optional<std::filesystem::path> saveFile(const std::string& proposedName) = 0;
};

} // namespace wakeward
