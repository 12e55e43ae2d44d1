// Every history event, whatever its texts and numbers, becomes one CSV record of exactly the
// five header columns, with the texts intact.
#include "FuzzCheck.h"
#include "controller/Transfer.h"

#include <algorithm>
#include <cstring>

using namespace wakeward;
using wakeward::fuzz::check;

namespace {

double number(const std::string& bytes) {
    double value = 0;
    std::memcpy(&value, bytes.data(), std::min(bytes.size(), sizeof value));
    return value;
}

std::string unguarded(const std::string& field) {
    return !field.empty() && field.front() == '\'' ? field.substr(1) : field;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Fields: type, reason, battery, then the raw bytes of the date and of the duration.
    const auto parts = fuzz::fields(fuzz::text(data, size), 5);
    HistoryEvent event(parts[0], parts[1], parts[2], number(parts[4]), Instant{number(parts[3])});
    const std::string line = Transfer::historyLine(event);

    std::vector<std::string> columns;
    check(fuzz::splitRecord(line, columns), "the line is one record of quoted fields");
    check(columns.size() == 5, "the line has the five header columns");
    check(columns[1] == event.type || unguarded(columns[1]) == event.type,
          "the event type is intact");
    check(columns[2] == event.reason || unguarded(columns[2]) == event.reason,
          "the reason is intact");
    check(columns[3] == event.battery || unguarded(columns[3]) == event.battery,
          "the battery is intact");
    const std::string& seconds = columns[4];
    const std::string digits =
        !seconds.empty() && seconds.front() == '\'' ? seconds.substr(1) : seconds;
    check(!digits.empty(), "the duration is written");
    const std::size_t start = digits.front() == '-' ? 1 : 0;
    check(digits.size() > start &&
              digits.find_first_not_of("0123456789", start) == std::string::npos,
          "the duration is whole seconds");

    const std::string file = Transfer::historyCsv({event, event});
    check(file.rfind("Date,Event,Reason,Battery,Duration seconds\n", 0) == 0,
          "the file starts with the header");
    return 0;
}
