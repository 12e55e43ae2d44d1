#include "platform/XdgFolders.h"

#include <cstdlib>
#include <pwd.h>
#include <string_view>
#include <unistd.h>

namespace wakeward::xdg {
namespace {

std::optional<std::filesystem::path> absoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] == '/')
        return std::filesystem::path(value);
    return std::nullopt;
}

std::optional<std::filesystem::path> variableOrHome(const char* name, const char* relative) {
    if (auto configured = absoluteVariable(name))
        return configured;
    const auto folder = home();
    return folder ? std::optional(*folder / relative) : std::nullopt;
}

} // namespace

std::optional<std::filesystem::path> home() {
    if (auto configured = absoluteVariable("HOME"))
        return configured;
    if (const passwd* entry = ::getpwuid(::getuid());
        entry != nullptr && entry->pw_dir != nullptr && entry->pw_dir[0] == '/')
        return std::filesystem::path(entry->pw_dir);
    return std::nullopt;
}

std::optional<std::filesystem::path> dataHome() {
    return variableOrHome("XDG_DATA_HOME", ".local/share");
}

std::optional<std::filesystem::path> configHome() {
    return variableOrHome("XDG_CONFIG_HOME", ".config");
}

std::vector<std::filesystem::path> dataDirs() {
    const char* configured = std::getenv("XDG_DATA_DIRS");
    std::string_view list = configured != nullptr && *configured != '\0'
                                ? std::string_view(configured)
                                : std::string_view("/usr/local/share:/usr/share");
    std::vector<std::filesystem::path> dirs;
    while (true) {
        const auto colon = list.find(':');
        const std::string_view dir = list.substr(0, colon);
        if (!dir.empty() && dir.front() == '/')
            dirs.emplace_back(dir);
        if (colon == std::string_view::npos)
            break;
        list.remove_prefix(colon + 1);
    }
    return dirs;
}

} // namespace wakeward::xdg
