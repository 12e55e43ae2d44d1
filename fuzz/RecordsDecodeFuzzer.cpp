// Stored settings and imported files are decoded by the record codecs: whatever the bytes,
// decoding must fail cleanly or give records that write and read back unchanged.
#include "FuzzCheck.h"

#include <wakeward/Records.h>

using namespace wakeward;
using wakeward::fuzz::check;

namespace {

template <class T> void roundTrip(std::string_view input) {
    auto decoded = fromJsonText<std::vector<T>>(input);
    if (!decoded) {
        check(!decoded.error().description.empty(), "a refused document says why");
        return;
    }
    auto encoded = toJsonText(*decoded);
    check(encoded.ok(), "decoded records can be written again");
    auto again = fromJsonText<std::vector<T>>(*encoded);
    check(again.ok(), "written records read back");
    check(*again == *decoded, "records survive a write and a read unchanged");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = fuzz::text(data, size);
    roundTrip<Profile>(input);
    roundTrip<Rule>(input);
    roundTrip<Schedule>(input);
    roundTrip<HistoryEvent>(input);
    return 0;
}
