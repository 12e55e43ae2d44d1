#pragma once

#include "controller/Model.h"

#include <QString>
#include <filesystem>
#include <optional>

namespace wakeward {

/// $XDG_DATA_HOME/fenmarch/Wakeward/sleep.sqlite (XDG_DATA_HOME defaulting to ~/.local/share);
/// none when no home folder can be found.
std::optional<std::filesystem::path> defaultStorePath();

/// The Linux implementations of every service the controller needs.
ModelServices linuxServices();

} // namespace wakeward
