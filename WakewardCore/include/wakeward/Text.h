#pragma once

#include <cstddef>
#include <optional>
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

// A name holds at most this many user-perceived characters.
inline constexpr std::size_t maxNameCharacters = 100;

// ... and at most this many bytes of UTF-8, so that one character of any size cannot pass. It
// leaves room for 100 characters of 40 bytes each, more than the longest emoji sequences take.
inline constexpr std::size_t maxNameBytes = 4096;

// What keeps `name` from being a name, as a phrase that follows its owner ("Profile 2 " +
// phrase + "."): empty, longer than `maxNameBytes` bytes, not UTF-8, holding a control
// character (U+0000 to U+001F, U+007F to U+009F), or longer than `maxNameCharacters`
// characters. None when the name is good. Blank names are left to the caller.
std::optional<std::string> nameProblem(std::string_view name);

// The part of `nameProblem` that makes a name unsafe to show or send anywhere, whatever its
// length in characters: too many bytes, not UTF-8, or a control character.
std::optional<std::string> unsafeNameProblem(std::string_view name);

// The text without leading and trailing blanks: spaces (any Unicode space separator) and
// tabs; line breaks stay.
std::string_view trimBlanks(std::string_view text);

// The name of the user's current locale, for example "de_DE".
std::string currentLocaleName();

} // namespace wakeward::Text
