#include <wakeward/Text.h>

#include <gtest/gtest.h>

using namespace wakeward;

TEST(Text, CaseInsensitiveSearchUsesFullFolding) {
    EXPECT_TRUE(Text::containsIgnoringCase("STRASSE", "straße", "de_DE"));
    EXPECT_TRUE(Text::containsIgnoringCase("Straße 5", "STRASSE", "de_DE"));
    EXPECT_TRUE(Text::containsIgnoringCase("Öl", "ö", "en_US"));
    EXPECT_TRUE(Text::containsIgnoringCase("Headset", "SET", "en_US"));
    EXPECT_FALSE(Text::containsIgnoringCase("Headset", "sets", "en_US"));
    EXPECT_FALSE(Text::containsIgnoringCase("Headset", "", "en_US"));
}

TEST(Text, TurkishDottedAndDotlessI) {
    // Outside Turkic locales, "I" folds to "i"; in Turkish it is the dotless "ı".
    EXPECT_TRUE(Text::containsIgnoringCase("DISK", "disk", "en_US"));
    EXPECT_FALSE(Text::containsIgnoringCase("DISK", "disk", "tr_TR"));
    EXPECT_TRUE(Text::containsIgnoringCase("DISK", "dısk", "tr_TR"));
    EXPECT_TRUE(Text::containsIgnoringCase("D\u0130SK", "disk", "tr_TR"));
    EXPECT_TRUE(Text::containsIgnoringCase("DISK", "dısk", "az_AZ"));
}

TEST(Text, Graphemes) {
    EXPECT_EQ(Text::firstGrapheme(""), "");
    EXPECT_EQ(Text::firstGrapheme("=1+1"), "=");
    EXPECT_EQ(Text::firstGrapheme("=\u0301x"), "=\u0301");
    EXPECT_EQ(Text::firstGrapheme("\U0001F1E9\U0001F1EA!"), "\U0001F1E9\U0001F1EA");
    EXPECT_EQ(Text::graphemeCount("e\u0301te\u0301"), 3u);
    EXPECT_EQ(Text::graphemeCount("\U0001F468\u200D\U0001F469\u200D\U0001F467"), 1u);
    EXPECT_EQ(Text::graphemeCount(""), 0u);
}

TEST(Text, TrimBlanks) {
    EXPECT_EQ(Text::trimBlanks("  a b\t"), "a b");
    EXPECT_EQ(Text::trimBlanks("\u00A0x\u3000"), "x");
    EXPECT_EQ(Text::trimBlanks("\nx\n"), "\nx\n");
    EXPECT_EQ(Text::trimBlanks(" \t "), "");
    EXPECT_EQ(Text::trimBlanks("\xff "), "\xff");
}
