#include "platform/DesktopEntries.h"

#include "platform/ProcessIdentity.h"
#include "platform/XdgFolders.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <system_error>

namespace fs = std::filesystem;

namespace wakeward {
namespace {

std::string envOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::string(value) : fallback;
}

// The escapes every string value may carry (\s \n \t \r \\).
std::string unescapeValue(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (value[++i]) {
        case 's':
            out += ' ';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case '\\':
            out += '\\';
            break;
        default:
            out += '\\';
            out += value[i];
        }
    }
    return out;
}

// Name[...] keys in the order the desktop entry rules prefer them for a locale
// lang_COUNTRY.ENCODING@MODIFIER.
std::vector<std::string> localeKeys(const std::string& locale) {
    std::string rest = locale;
    std::string modifier;
    if (const auto at = rest.find('@'); at != std::string::npos) {
        modifier = rest.substr(at + 1);
        rest.erase(at);
    }
    if (const auto dot = rest.find('.'); dot != std::string::npos)
        rest.erase(dot);
    std::string lang = rest;
    std::string country;
    if (const auto underscore = rest.find('_'); underscore != std::string::npos) {
        lang = rest.substr(0, underscore);
        country = rest.substr(underscore + 1);
    }
    std::vector<std::string> keys;
    if (lang.empty() || lang == "C" || lang == "POSIX")
        return keys;
    if (!country.empty() && !modifier.empty())
        keys.push_back(lang + "_" + country + "@" + modifier);
    if (!country.empty())
        keys.push_back(lang + "_" + country);
    if (!modifier.empty())
        keys.push_back(lang + "@" + modifier);
    keys.push_back(lang);
    return keys;
}

struct ParsedEntry {
    bool visible = false;
    DesktopApp app;
};

bool isTrue(const std::string& value) {
    return value == "true";
}

ParsedEntry parseEntry(const fs::path& file, const std::vector<std::string>& keys) {
    ParsedEntry result;
    std::ifstream in(file);
    if (!in)
        return result;
    bool inMainGroup = false;
    std::map<std::string, std::string> values;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '[') {
            if (inMainGroup)
                break;
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inMainGroup)
            continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string key = line.substr(0, eq);
        while (!key.empty() && key.back() == ' ')
            key.pop_back();
        std::string value = line.substr(eq + 1);
        value.erase(0, value.find_first_not_of(' '));
        values.emplace(std::move(key), std::move(value));
    }
    auto get = [&values](const std::string& key) -> std::optional<std::string> {
        const auto it = values.find(key);
        return it == values.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
    if (get("Type").value_or("") != "Application" || isTrue(get("NoDisplay").value_or("")) ||
        isTrue(get("Hidden").value_or("")))
        return result;

    std::optional<std::string> name;
    for (const auto& key : keys) {
        if ((name = get("Name[" + key + "]")))
            break;
    }
    if (!name)
        name = get("Name");
    if (!name || name->empty())
        return result;

    // A Flatpak's entry starts `flatpak run`; its processes are known by their sandbox instead.
    if (auto flatpak = get("X-Flatpak"); flatpak && !flatpak->empty()) {
        result.visible = true;
        result.app = DesktopApp{std::string(), unescapeValue(*name), std::move(*flatpak)};
        return result;
    }

    std::string program;
    if (const auto tryExec = get("TryExec"); tryExec && !tryExec->empty())
        program = process::baseName(unescapeValue(*tryExec));
    else if (const auto exec = get("Exec"))
        program = DesktopEntries::programOfExec(*exec);
    if (program.empty())
        return result;

    result.visible = true;
    result.app = DesktopApp{std::move(program), unescapeValue(*name), std::string()};
    return result;
}

void collect(const fs::path& dir, const fs::path& base, std::map<std::string, fs::path>& byId) {
    std::error_code ec;
    fs::recursive_directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const auto& path = it->path();
        if (path.extension() != ".desktop" || !it->is_regular_file(ec))
            continue;
        // The desktop-file id joins subfolders with '-', so kde/foo.desktop overrides
        // kde-foo.desktop.
        std::string id = path.lexically_relative(base).string();
        std::replace(id.begin(), id.end(), '/', '-');
        byId.emplace(std::move(id), path);
    }
}

} // namespace

std::vector<std::string> DesktopEntries::splitExec(const std::string& execValue) {
    const std::string exec = unescapeValue(execValue);
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (quoted) {
            if (c == '"') {
                quoted = false;
            } else if (c == '\\' && i + 1 < exec.size()) {
                word += exec[++i];
            } else {
                word += c;
            }
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == '"')
            quoted = true;
        else
            word += c;
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

std::string DesktopEntries::programOfExec(const std::string& exec) {
    std::vector<std::string> words = splitExec(exec);
    std::size_t i = 0;
    auto isFieldCode = [](const std::string& word) { return word.size() == 2 && word[0] == '%'; };
    while (i < words.size() && isFieldCode(words[i]))
        ++i;
    if (i < words.size() && process::baseName(words[i]) == "env") {
        ++i;
        while (i < words.size() && words[i].find('=') != std::string::npos && words[i][0] != '-')
            ++i;
    }
    while (i < words.size() && isFieldCode(words[i]))
        ++i;
    return i < words.size() ? process::baseName(words[i]) : std::string();
}

std::vector<DesktopApp> DesktopEntries::load(const std::vector<fs::path>& applicationDirs,
                                             const std::string& locale) {
    const auto keys = localeKeys(locale);
    std::map<std::string, fs::path> byId;
    // emplace keeps the first file of an id, so folders listed first win.
    for (const auto& dir : applicationDirs)
        collect(dir, dir, byId);
    std::vector<DesktopApp> apps;
    for (const auto& [id, path] : byId) {
        auto entry = parseEntry(path, keys);
        if (entry.visible)
            apps.push_back(std::move(entry.app));
    }
    return apps;
}

std::vector<fs::path> DesktopEntries::defaultDirs() {
    std::vector<fs::path> dirs;
    if (const auto dataHome = xdg::dataHome())
        dirs.push_back(*dataHome / "applications");
    for (const auto& dir : xdg::dataDirs())
        dirs.push_back(dir / "applications");
    return dirs;
}

std::string DesktopEntries::defaultLocale() {
    return envOr("LC_ALL", envOr("LC_MESSAGES", envOr("LANG", "")));
}

} // namespace wakeward
