#include "platform/DesktopEntries.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>

namespace wakeward {
namespace {

using Words = std::vector<std::string>;

// Exec values split by the desktop entry quoting rules.
TEST(DesktopEntriesTest, SplitsExecWords) {
    EXPECT_EQ(DesktopEntries::splitExec("/usr/bin/vlc --started-from-file %U"),
              (Words{"/usr/bin/vlc", "--started-from-file", "%U"}));
    EXPECT_EQ(DesktopEntries::splitExec("\"/opt/My App/app\"  --title=\"a \\\"b\\\" c\""),
              (Words{"/opt/My App/app", "--title=a \"b\" c"}));
    // The string-value escape \s is a space, inside or outside quotes.
    EXPECT_EQ(DesktopEntries::splitExec("/usr/bin/a\\sb x"), (Words{"/usr/bin/a", "b", "x"}));
    EXPECT_EQ(DesktopEntries::splitExec("\"\" x"), (Words{"", "x"}));
    EXPECT_TRUE(DesktopEntries::splitExec("   ").empty());
}

// The program is the first word after env and its assignments, as a base name.
TEST(DesktopEntriesTest, ProgramOfExec) {
    EXPECT_EQ(DesktopEntries::programOfExec("/usr/lib/firefox-esr/firefox-esr %u"), "firefox-esr");
    EXPECT_EQ(
        DesktopEntries::programOfExec("env LANG=C GDK_BACKEND=\"x 11\" \"/opt/My App/myapp\" %F"),
        "myapp");
    EXPECT_EQ(DesktopEntries::programOfExec("/usr/bin/env A=1 gimp"), "gimp");
    EXPECT_EQ(DesktopEntries::programOfExec("%U"), "");
    EXPECT_EQ(DesktopEntries::programOfExec(""), "");
    EXPECT_EQ(DesktopEntries::programOfExec("env"), "");
}

// The folders follow the XDG rules: relative paths in the variables are ignored.
TEST(DesktopEntriesTest, DefaultFoldersIgnoreRelativePaths) {
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
    for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_DATA_DIRS"})
        saved.emplace_back(name, std::getenv(name) ? std::optional<std::string>(std::getenv(name))
                                                   : std::nullopt);
    ::setenv("HOME", "/home/someone", 1);
    ::setenv("XDG_DATA_HOME", "relative/share", 1);
    ::setenv("XDG_DATA_DIRS", "/opt/share:relative:/usr/share:", 1);
    EXPECT_EQ(
        DesktopEntries::defaultDirs(),
        (std::vector<std::filesystem::path>{"/home/someone/.local/share/applications",
                                            "/opt/share/applications", "/usr/share/applications"}));
    ::setenv("XDG_DATA_HOME", "/data", 1);
    ::unsetenv("XDG_DATA_DIRS");
    EXPECT_EQ(
        DesktopEntries::defaultDirs(),
        (std::vector<std::filesystem::path>{"/data/applications", "/usr/local/share/applications",
                                            "/usr/share/applications"}));
    for (const auto& [name, value] : saved) {
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
}

} // namespace
} // namespace wakeward
