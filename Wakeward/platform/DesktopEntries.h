#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace wakeward {

// An installed application as its desktop entry describes it.
struct DesktopApp {
    std::string program; // base name of the executable the entry starts; empty for a Flatpak
    std::string name;    // localized display name
    std::string flatpak; // the Flatpak application id of an entry Flatpak exported
    bool operator==(const DesktopApp&) const = default;
};

// Reads the installed desktop entries that the application pickers may offer.
class DesktopEntries {
public:
    /// Visible application entries of the folders, earlier folders overriding later ones by
    /// desktop-file id.
    static std::vector<DesktopApp> load(const std::vector<std::filesystem::path>& applicationDirs,
                                        const std::string& locale);
    /// The applications folders of $XDG_DATA_HOME and $XDG_DATA_DIRS, most important first.
    static std::vector<std::filesystem::path> defaultDirs();
    /// The messages locale from LC_ALL, LC_MESSAGES or LANG.
    static std::string defaultLocale();
    /// The program an Exec line starts, as a base name; empty when there is none.
    static std::string programOfExec(const std::string& exec);
    /// Splits an Exec value into words by the quoting rules of desktop entries.
    static std::vector<std::string> splitExec(const std::string& exec);
};

} // namespace wakeward
