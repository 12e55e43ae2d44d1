#include <wakeward/Engine.h>

#include <gtest/gtest.h>

using namespace wakeward;

// Every field is quoted; commas, line breaks and other text stay as they are.
TEST(Csv, AlwaysQuoted) {
    EXPECT_EQ(Engine::csv(""), "\"\"");
    EXPECT_EQ(Engine::csv("Started"), "\"Started\"");
    EXPECT_EQ(Engine::csv("a,b"), "\"a,b\"");
    EXPECT_EQ(Engine::csv("line 1\nline 2\r\n"), "\"line 1\nline 2\r\n\"");
    EXPECT_EQ(Engine::csv("Wakeward • Profile: Zürich"), "\"Wakeward • Profile: Zürich\"");
    EXPECT_EQ(Engine::csv(std::string_view("a\0b", 3)), std::string("\"a\0b\"", 5));
}

TEST(Csv, QuotesAreDoubled) {
    EXPECT_EQ(Engine::csv("\""), "\"\"\"\"");
    EXPECT_EQ(Engine::csv("say \"hi\""), "\"say \"\"hi\"\"\"");
    // A leading quote is not a formula sign.
    EXPECT_EQ(Engine::csv("\"=1+1\""), "\"\"\"=1+1\"\"\"");
}

TEST(Csv, FormulaSignsFirstGetAnApostrophe) {
    EXPECT_EQ(Engine::csv("-12"), "\"'-12\"");
    EXPECT_EQ(Engine::csv("+1"), "\"'+1\"");
    EXPECT_EQ(Engine::csv("=SUM(A1:A3)"), "\"'=SUM(A1:A3)\"");
    EXPECT_EQ(Engine::csv("@cmd"), "\"'@cmd\"");
    EXPECT_EQ(Engine::csv("="), "\"'=\"");
    EXPECT_EQ(Engine::csv("=\"x\""), "\"'=\"\"x\"\"\"");
    // Anywhere but first, and any other first character, changes nothing.
    EXPECT_EQ(Engine::csv("a=b"), "\"a=b\"");
    EXPECT_EQ(Engine::csv(" =1"), "\" =1\"");
    EXPECT_EQ(Engine::csv("\t=1"), "\"\t=1\"");
    EXPECT_EQ(Engine::csv("'=1"), "\"'=1\"");
    EXPECT_EQ(Engine::csv("\uFF1D1"), "\"\uFF1D1\""); // fullwidth equals sign
    EXPECT_EQ(Engine::csv("\u22125"), "\"\u22125\""); // minus sign
}

// The first character is a whole user-perceived character: a sign with a combining mark
// is another character.
TEST(Csv, FirstCharacterIsAGrapheme) {
    EXPECT_EQ(Engine::csv("=\u03011"), "\"=\u03011\""); // "=" with a combining acute accent
    EXPECT_EQ(Engine::csv("-\u20DD"), "\"-\u20DD\"");   // "-" with a combining enclosing circle
    EXPECT_EQ(Engine::csv("-\u0301-"), "\"-\u0301-\"");
    EXPECT_EQ(Engine::csv("-\U0001F600"), "\"'-\U0001F600\""); // "-" then an emoji
    // Bytes that are not UTF-8 pass through untouched.
    EXPECT_EQ(Engine::csv("-\xFF"), "\"'-\xFF\"");
    EXPECT_EQ(Engine::csv("\xFF="), "\"\xFF=\"");
}
