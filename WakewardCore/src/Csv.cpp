#include <wakeward/Engine.h>
#include <wakeward/Text.h>

namespace wakeward::Engine {

std::string csv(std::string_view field) {
    // A leading formula sign makes spreadsheets evaluate the field. The test is on the whole
    // first user-perceived character, so "=" carrying a combining mark is not "=".
    const std::string first = Text::firstGrapheme(field);
    const bool formula = first == "=" || first == "+" || first == "-" || first == "@";

    std::string quoted;
    quoted.reserve(field.size() + 4);
    quoted += '"';
    if (formula)
        quoted += '\'';
    for (char c : field) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

} // namespace wakeward::Engine
