#pragma once

#include <filesystem>
#include <optional>
#include <vector>

// The user's folders by the XDG base-directory rules: relative paths in the variables are
// ignored, and a missing HOME falls back to the password database.
namespace wakeward::xdg {

/// The home folder; absent when neither HOME nor the password database gives an absolute one.
std::optional<std::filesystem::path> home();
/// $XDG_DATA_HOME, else ~/.local/share.
std::optional<std::filesystem::path> dataHome();
/// $XDG_CONFIG_HOME, else ~/.config.
std::optional<std::filesystem::path> configHome();
/// The folders of $XDG_DATA_DIRS in order, else /usr/local/share and /usr/share.
std::vector<std::filesystem::path> dataDirs();

} // namespace wakeward::xdg
