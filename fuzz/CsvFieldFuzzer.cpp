// History exports quote every field; any text must come back unchanged from a CSV reader,
// and no field may start a spreadsheet formula.
#include "FuzzCheck.h"

#include <wakeward/Engine.h>
#include <wakeward/Text.h>

using namespace wakeward;
using wakeward::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = fuzz::text(data, size);
    const std::string quoted = Engine::csv(input);
    std::string field;
    check(fuzz::unquote(quoted, field), "the field is one well-formed quoted CSV field");
    const std::string first = Text::firstGrapheme(input);
    const bool formula = first == "=" || first == "+" || first == "-" || first == "@";
    if (formula)
        check(field == "'" + std::string(input), "a formula is guarded by a leading apostrophe");
    else
        check(field == input, "the field reads back as the text");
    return 0;
}
