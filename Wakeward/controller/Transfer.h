#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>
#include <wakeward/Records.h>
#include <wakeward/Result.h>
#include <wakeward/Text.h>

// Turning profiles and history into files and back; no dialogs and no controller state.
namespace wakeward::Transfer {

// Profiles files larger than this are refused before they are read.
inline constexpr std::size_t maxProfilesFileBytes = 1024 * 1024;
inline constexpr std::size_t maxImportedProfiles = 100;
inline constexpr std::size_t maxProfileNameLength = Text::maxNameCharacters;

// The profiles as a pretty-printed JSON array with sorted keys.
Result<std::string> profilesJson(const std::vector<Profile>& profiles);

// Decodes and checks a profiles file, all or nothing; the profiles get new identifiers.
Result<std::vector<Profile>> importableProfiles(std::string_view text);

// One CSV line of a history event (no line end).
std::string historyLine(const HistoryEvent& event);

// The whole history file: the header, then one line per event in list order.
std::string historyCsv(const std::vector<HistoryEvent>& history);

// The instant as an ISO 8601 date-time in UTC with whole seconds and "Z".
std::string isoUtc(Instant instant);

// Reads a whole ordinary file of at most `limit` bytes; FIFOs, devices and folders are refused
// without waiting on them.
Result<std::string> readFile(const std::filesystem::path& path, std::size_t limit);

// Replaces the file only once the new content is completely written; new files follow the umask.
Status writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);

} // namespace wakeward::Transfer
