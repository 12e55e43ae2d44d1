// A profiles file comes from anywhere; the import accepts it whole or refuses it with a reason,
// and never lets through a profile the session form would reject.
#include "FuzzCheck.h"
#include "controller/Transfer.h"

#include <cmath>
#include <set>
#include <wakeward/Text.h>

using namespace wakeward;
using wakeward::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = fuzz::text(data, size);
    auto profiles = Transfer::importableProfiles(input);
    if (!profiles) {
        check(!profiles.error().description.empty(), "a refused import says why");
        return 0;
    }
    check(profiles->size() <= Transfer::maxImportedProfiles,
          "at most the allowed number of profiles");
    std::set<std::string> ids;
    for (const Profile& profile : *profiles) {
        check(!profile.name.empty(), "imported names are not empty");
        check(Text::graphemeCount(profile.name) <= Transfer::maxProfileNameLength,
              "imported names are not too long");
        check(std::isfinite(profile.minutes) && profile.minutes >= 1 && profile.minutes <= 1440,
              "imported lengths are within 1 to 1440 minutes");
        check(ids.insert(profile.id.toString()).second,
              "every imported profile has a new identifier");
    }
    // What was imported can be exported and imported again.
    auto exported = Transfer::profilesJson(*profiles);
    check(exported.ok(), "imported profiles can be exported");
    auto again = Transfer::importableProfiles(*exported);
    check(again.ok() && again->size() == profiles->size(), "an export imports again");
    return 0;
}
