#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Unicode text helpers over ICU; inputs and outputs are UTF-8.
namespace wakeward::Text {

// Whether `part` occurs in `text`, ignoring case by full Unicode case folding under the
// locale `localeName` (Turkic dotted and dotless i for Turkish and Azerbaijani).
bool containsIgnoringCase(std::string_view text, std::string_view part, std::string_view localeName);

// The same under the user's current locale.
bool containsIgnoringCase(std::string_view text, std::string_view part);

// The first user-perceived character (grapheme cluster) of the text; empty for empty text.
// Where ICU cannot give grapheme boundaries, characters are code points, here and below.
std::string firstGrapheme(std::string_view text);

// The number of user-perceived characters.
std::size_t graphemeCount(std::string_view text);

// The text without leading and trailing blanks: spaces (any Unicode space separator) and
// tabs; line breaks stay.
std::string_view trimBlanks(std::string_view text);

// The name of the user's current locale, for example "de_DE".
std::string currentLocaleName();

} // namespace wakeward::Text
