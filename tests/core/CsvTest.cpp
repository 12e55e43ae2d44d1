#include <gtest/gtest.h>
#include <wakeward/Engine.h>

using namespace wakeward;

// Every field is quoted with its quotes doubled; commas, line breaks and other text stay as they
// are. A formula sign as the first whole character (a sign with a combining mark is another
// character) gets an apostrophe; anywhere else, or any other first character, changes nothing.
// Plain text, quotes, commas and "=" or "-" formulas are left to the fuzz replay's seeds.
TEST(Csv, QuotingAndFormulaSigns) {
    const std::pair<std::string, std::string> cases[] = {
        {"", R"("")"},
        {"line 1\nline 2\r\n", "\"line 1\nline 2\r\n\""},
        {"Wakeward • Profile: Zürich", R"("Wakeward • Profile: Zürich")"},
        {std::string("a\0b", 3), std::string("\"a\0b\"", 5)},
        {R"("=1+1")", R"("""=1+1""")"},
        {"+1", R"("'+1")"},
        {"@cmd", R"("'@cmd")"},
        {"a=b", R"("a=b")"},
        {" =1", R"(" =1")"},
        {"\t=1", "\"\t=1\""},
        {"'=1", R"("'=1")"},
        {"\uFF1D1", "\"\uFF1D1\""},          // fullwidth equals sign
        {"\u22125", "\"\u22125\""},          // minus sign
        {"-\u20DD", "\"-\u20DD\""},          // "-" with a combining enclosing circle
        {"-\U0001F600", "\"'-\U0001F600\""}, // "-" then an emoji
        {"-\xFF", "\"'-\xFF\""},             // bytes that are not UTF-8 pass through
        {"\xFF=", "\"\xFF=\""},
    };
    for (const auto& [field, quoted] : cases)
        EXPECT_EQ(Engine::csv(field), quoted) << field;
}
