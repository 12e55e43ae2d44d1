#include <wakeward/Text.h>

#include "TextImpl.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

namespace wakeward::Text {

namespace {

icu::UnicodeString folded(std::string_view text, bool turkicRules) {
    auto unicode = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    return unicode.foldCase(turkicRules ? U_FOLD_CASE_EXCLUDE_SPECIAL_I : U_FOLD_CASE_DEFAULT);
}

bool turkic(const icu::Locale& locale) {
    const std::string_view language = locale.getLanguage();
    return language == "tr" || language == "az";
}

bool turkic(std::string_view localeName) {
    return turkic(icu::Locale(std::string(localeName).c_str()));
}

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Full case folding of an ASCII character: A to Z become a to z, except that Turkic rules fold
// I to a dotless i, which no ASCII character folds to, so it gets a byte of its own.
char foldAscii(char c, bool turkicRules) {
    if (c == 'I' && turkicRules)
        return static_cast<char>(0x80);
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool containsFolded(std::string_view text, std::string_view part, bool turkicRules) {
    if (part.empty())
        return false;
    // Device and application names are nearly always ASCII, and rules test them on every pass:
    // folding them byte by byte gives the same answer without converting to UTF-16. A non-ASCII
    // character on either side (a Kelvin sign, a sharp s) may fold into ASCII, so it takes ICU.
    if (isAscii(text) && isAscii(part)) {
        const auto equal = [turkicRules](char a, char b) {
            return foldAscii(a, turkicRules) == foldAscii(b, turkicRules);
        };
        return std::search(text.begin(), text.end(), part.begin(), part.end(), equal) != text.end();
    }
    return folded(text, turkicRules).indexOf(folded(part, turkicRules)) >= 0;
}

bool isBlank(UChar32 c) {
    return c == '\t' || u_charType(c) == U_SPACE_SEPARATOR;
}

struct UTextCloser {
    void operator()(UText* text) const { utext_close(text); }
};

// ICU's UTF-8 iteration macros cast in the C style.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
// Calls `visit(start, end)` with the byte range of each code point until it returns false; a
// byte that is not part of well-formed UTF-8 counts as one.
template <class Visit> void forEachCodePoint(std::string_view text, Visit visit) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    for (int32_t start = 0, end = 0; start < length; start = end) {
        UChar32 c;
        U8_NEXT(bytes, end, length, c);
        if (!visit(static_cast<std::size_t>(start), static_cast<std::size_t>(end)))
            return;
    }
}
#pragma GCC diagnostic pop

// Calls `visit(start, end)` with the byte range of each character until it returns false:
// graphemes by `breaks`, code points without it or when ICU fails on the text.
template <class Visit>
void forEachCharacter(std::string_view text, icu::BreakIterator* breaks, Visit visit) {
    if (text.empty())
        return;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UText, UTextCloser> utext(
        utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status));
    if (breaks)
        breaks->setText(utext.get(), status);
    if (!breaks || U_FAILURE(status)) {
        forEachCodePoint(text, visit);
        return;
    }
    int32_t start = breaks->first();
    for (int32_t end = breaks->next(); end != icu::BreakIterator::DONE; start = end, end = breaks->next())
        if (!visit(static_cast<std::size_t>(start), static_cast<std::size_t>(end)))
            return;
}

// The root locale's grapheme iterator, or null when ICU cannot open one (its data missing).
std::unique_ptr<icu::BreakIterator> characterBreaks() {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> breaks(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status))
        breaks.reset();
    return breaks;
}

} // namespace

bool containsIgnoringCase(std::string_view text, std::string_view part, std::string_view localeName) {
    return containsFolded(text, part, turkic(localeName));
}

bool containsIgnoringCase(std::string_view text, std::string_view part) {
    // The default locale is read in place: building a locale from its name on every call
    // costs more than the search itself.
    return containsFolded(text, part, turkic(icu::Locale::getDefault()));
}

namespace detail {

std::string firstCharacter(std::string_view text, icu::BreakIterator* breaks) {
    std::string first;
    forEachCharacter(text, breaks, [&](std::size_t start, std::size_t end) {
        first = std::string(text.substr(start, end - start));
        return false;
    });
    return first;
}

std::size_t characterCount(std::string_view text, icu::BreakIterator* breaks) {
    std::size_t count = 0;
    forEachCharacter(text, breaks, [&](std::size_t, std::size_t) {
        ++count;
        return true;
    });
    return count;
}

} // namespace detail

std::string firstGrapheme(std::string_view text) {
    return detail::firstCharacter(text, characterBreaks().get());
}

std::size_t graphemeCount(std::string_view text) {
    return detail::characterCount(text, characterBreaks().get());
}

// ICU's UTF-8 iteration macros cast in the C style.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
std::optional<std::string> nameProblem(std::string_view name) {
    if (name.empty())
        return "has an empty name";
    if (auto unsafe = unsafeNameProblem(name))
        return unsafe;
    if (graphemeCount(name) > maxNameCharacters)
        return "has a name longer than " + std::to_string(maxNameCharacters) + " characters";
    return std::nullopt;
}

std::optional<std::string> unsafeNameProblem(std::string_view name) {
    if (name.size() > maxNameBytes)
        return "has a name longer than " + std::to_string(maxNameBytes) + " bytes";
    const auto* bytes = reinterpret_cast<const uint8_t*>(name.data());
    const auto length = static_cast<int32_t>(name.size());
    for (int32_t i = 0; i < length;) {
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        if (c < 0)
            return "has a name that is not valid UTF-8 text";
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
            char code[8];
            std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
            return "has a control character (" + std::string(code) + ") in its name";
        }
    }
    return std::nullopt;
}

std::string_view trimBlanks(std::string_view text) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    int32_t begin = 0;
    while (begin < length) {
        int32_t next = begin;
        UChar32 c;
        U8_NEXT(bytes, next, length, c);
        if (!isBlank(c))
            break;
        begin = next;
    }
    int32_t end = length;
    while (end > begin) {
        int32_t previous = end;
        UChar32 c;
        U8_PREV(bytes, 0, previous, c);
        if (!isBlank(c))
            break;
        end = previous;
    }
    return text.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin));
}
#pragma GCC diagnostic pop

std::string currentLocaleName() {
    return icu::Locale::getDefault().getName();
}

} // namespace wakeward::Text
