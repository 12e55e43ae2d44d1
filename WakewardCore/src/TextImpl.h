#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unicode/brkiter.h>

namespace wakeward::Text::detail {

// The first character and the number of characters of the text: graphemes by `breaks`, or
// code points when ICU could not open a break iterator (null), so that the formula guard and
// the name limits still hold, erring on the strict side.
std::string firstCharacter(std::string_view text, icu::BreakIterator* breaks);
std::size_t characterCount(std::string_view text, icu::BreakIterator* breaks);

} // namespace wakeward::Text::detail
