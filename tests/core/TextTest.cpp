#include "TextImpl.h"

#include <gtest/gtest.h>
#include <random>
#include <wakeward/Text.h>

using namespace wakeward;

// Full case folding; outside Turkic locales "I" folds to "i", in them to the dotless "ı".
TEST(Text, CaseInsensitiveSearch) {
    const std::tuple<const char*, const char*, const char*, bool> cases[] = {
        {"STRASSE", "straße", "de_DE", true}, {"Straße 5", "STRASSE", "de_DE", true},
        {"Öl", "ö", "en_US", true},           {"Headset", "SET", "en_US", true},
        {"Headset", "sets", "en_US", false},  {"Headset", "", "en_US", false},
        {"DISK", "disk", "en_US", true},      {"DISK", "disk", "tr_TR", false},
        {"DISK", "dısk", "tr_TR", true},      {"DİSK", "disk", "tr_TR", true},
        {"DISK", "dısk", "az_AZ", true},
    };
    for (const auto& [text, part, locale, found] : cases)
        EXPECT_EQ(Text::containsIgnoringCase(text, part, locale), found)
            << text << ' ' << part << ' ' << locale;
}

// ASCII names take a shorter way than ICU; both must answer alike. A trailing "é" sends the text
// through ICU without changing whether an ASCII part occurs in it.
TEST(Text, AsciiSearchAgreesWithFullFolding) {
    const std::string alphabet = "aAiIkKsS ";
    std::minstd_rand next(7);
    auto random = [&](std::size_t length) {
        std::string text;
        for (std::size_t i = 0; i < length; ++i)
            text += alphabet[next() % alphabet.size()];
        return text;
    };
    for (int round = 0; round < 2000; ++round) {
        const std::string text = random(next() % 8);
        const std::string part = random(1 + next() % 3);
        for (const char* locale : {"en_US", "tr_TR"})
            ASSERT_EQ(Text::containsIgnoringCase(text, part, locale),
                      Text::containsIgnoringCase(text + "\u00e9", part, locale))
                << '"' << text << "\" \"" << part << "\" " << locale;
    }
    // Non-ASCII characters that fold into ASCII.
    EXPECT_TRUE(Text::containsIgnoringCase("5 \u212A", "k", "en_US"));
    EXPECT_TRUE(Text::containsIgnoringCase("Kingston", "\u212Aing", "en_US"));
    EXPECT_TRUE(Text::containsIgnoringCase("Ma\u017Fter", "MAST", "en_US"));
}

// Characters are graphemes; when ICU cannot give their boundaries they fall back to code
// points, so a formula sign is still seen first and a long name still counts as long.
TEST(Text, GraphemesAndTheirCodePointFallback) {
    // The text; its first grapheme and their count; its first code point and their count.
    const std::tuple<std::string, std::string, std::size_t, std::string, std::size_t> cases[] = {
        {"", "", 0, "", 0},
        {"=1+1", "=", 4, "=", 4},
        {"=\u0301x", "=\u0301", 2, "=", 3},
        {"\U0001F1E9\U0001F1EA!", "\U0001F1E9\U0001F1EA", 2, "\U0001F1E9", 3},
        {"e\u0301te\u0301", "e\u0301", 3, "e", 5},
        {"\U0001F468\u200D\U0001F469\u200D\U0001F467", "\U0001F468\u200D\U0001F469\u200D\U0001F467",
         1, "\U0001F468", 5},
        {"\xFF=", "\xFF", 2, "\xFF", 2},
    };
    for (const auto& [text, first, count, firstCodePoint, codePoints] : cases) {
        EXPECT_EQ(Text::firstGrapheme(text), first) << text;
        EXPECT_EQ(Text::graphemeCount(text), count) << text;
        EXPECT_EQ(Text::detail::firstCharacter(text, nullptr), firstCodePoint) << text;
        EXPECT_EQ(Text::detail::characterCount(text, nullptr), codePoints) << text;
    }
}

// The edges of each name rule; the phrases follow the name's owner.
TEST(Text, NameProblems) {
    std::string accents;
    for (int i = 0; i < 2047; ++i)
        accents += "\u0301";
    const std::pair<std::string, const char*> cases[] = {
        {"Backup", nullptr},
        {" \u00A0\u2028~", nullptr},
        {"", "has an empty name"},
        {std::string(100, 'x'), nullptr},
        {std::string(101, 'x'), "has a name longer than 100 characters"},
        // Two characters, but 4096 and then 4097 bytes.
        {"a" + accents + "x", nullptr},
        {"a" + accents + "\u0301", "has a name longer than 4096 bytes"},
        {"a\xFF", "has a name that is not valid UTF-8 text"},
        {std::string("a\0", 2), "has a control character (U+0000) in its name"},
        {"a\x1F", "has a control character (U+001F) in its name"},
        {"a\x7F", "has a control character (U+007F) in its name"},
        {"a\u0080", "has a control character (U+0080) in its name"},
        {"a\u009F", "has a control character (U+009F) in its name"},
    };
    for (const auto& [name, problem] : cases)
        EXPECT_EQ(Text::nameProblem(name).value_or("none"), problem ? problem : "none")
            << name.substr(0, 20);
}

TEST(Text, TrimBlanks) {
    EXPECT_EQ(Text::trimBlanks("  a b\t"), "a b");
    EXPECT_EQ(Text::trimBlanks("\u00A0x\u3000"), "x");
    EXPECT_EQ(Text::trimBlanks("\nx\n"), "\nx\n");
    EXPECT_EQ(Text::trimBlanks(" \t "), "");
    EXPECT_EQ(Text::trimBlanks("\xff "), "\xff");
}
