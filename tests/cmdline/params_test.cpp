#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "cmdline/params.h"
#include "support/fake_os.h"
#include "support/support.h"

namespace {

// Every parameter the reader hands out, in order, stopping at the first
// call that leaves the cursor where it was.
std::vector<std::string> ReadAll(const std::string& line, int* calls = nullptr)
{
    Fake.CommandLine = line;
    TestArena arena;
    ParamReader reader;
    StartParamReader(reader, false);
    std::vector<std::string> params;
    for (;;) {
        int before = reader.Cursor;
        std::string param = Narrow1252(NextParam(reader, arena));
        if (reader.Cursor == before) {
            EXPECT_EQ(param, "") << "a call that does not move the cursor must return the empty text";
            break;
        }
        EXPECT_EQ(reader.Cursor, before + 1);
        params.push_back(param);
    }
    if (calls) {
        *calls = reader.Cursor;
    }
    return params;
}

struct Case {
    const char* line;
    std::vector<std::string> params;
};

const Case Cases[] = {
    {"prog a b c", {"a", "b", "c"}},
    {"\"C:\\Program Files\\x y\\prog.exe\" first \"second one\" third", {"first", "second one", "third"}},
    {"   prog   a    b   ", {"a", "b"}},
    {"prog \"\" b", {"", "b"}},
    {"prog a \"\" b", {"a", "", "b"}},
    {"prog \"\"\"\"", {"", ""}},
    {"prog a \"", {"a", ""}},
    {"prog \"open quote", {"open quote"}},
    {"prog \"a b\"c d", {"a b", "c", "d"}},
    {"prog \"a b\"\"c d\"", {"a b", "c d"}},
    {"prog \"a\"\"b\" c", {"a", "b", "c"}},
    {"prog \"\"\" x", {"", " x"}},
    {"prog a\"b c\" d", {"a\"b", "c\"", "d"}},
    {"prog a\"\"b c", {"a\"\"b", "c"}},
    {"prog \" a \" b", {" a ", "b"}},
    {"prog a\tb c", {"a\tb", "c"}},
    {"prog\ta b", {"b"}},
    {"\"prog\"a b", {"a", "b"}},
    {"\"\" a", {"a"}},
    {"prog /?", {"/?"}},
    {"prog", {}},
    {"", {}},
    {"    ", {}},
    // Only the blank separates: CR, LF and high bytes belong to parameters.
    {"prog a\r\nb \xE9\xFF", {"a\r\nb", "\xE9\xFF"}},
    {"prog \x80 \x81", {"\x80", "\x81"}},
    {"prog \\\"a b\\\"", {"\\\"a", "b\\\""}},
    {"prog \"a\\\" b", {"a\\", "b"}},
};

TEST(NextParam, SplitsCommandLinesByItsOwnRules)
{
    for (const Case& c : Cases) {
        SCOPED_TRACE(testing::Message() << "command line [" << c.line << "]");
        EXPECT_EQ(ReadAll(c.line), c.params);
    }
}

TEST(NextParam, StaysExhaustedAfterTheLastParameter)
{
    Fake.CommandLine = "prog a ";
    TestArena arena;
    ParamReader reader;
    StartParamReader(reader, false);
    EXPECT_EQ(Narrow1252(NextParam(reader, arena)), "a");
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(Narrow1252(NextParam(reader, arena)), "");
        EXPECT_EQ(reader.Cursor, 1);
    }
}

TEST(NextParam, AsksForTheCommandLineOnEveryCall)
{
    TestArena arena;
    ParamReader reader;
    StartParamReader(reader, false);
    Fake.CommandLine = "prog first x";
    EXPECT_EQ(Narrow1252(NextParam(reader, arena)), "first");
    Fake.CommandLine = "prog y second";
    EXPECT_EQ(Narrow1252(NextParam(reader, arena)), "second");
}

TEST(NextParam, ReturnsCopiesThatOutliveTheLine)
{
    TestArena arena;
    ParamReader reader;
    StartParamReader(reader, false);
    Fake.CommandLine = "prog \"one two\"";
    char16_t* param = NextParam(reader, arena);
    Fake.CommandLine.assign(Fake.CommandLine.size(), 'z');
    EXPECT_EQ(Narrow1252(param), "one two");
}

TEST(NextParam, ReadsTheWideLineByTheSameRules)
{
    // The ANSI line of the same process holds look-alikes; it is not read.
    Fake.CommandLine = "prog \"L ?\" \"a b\"";
    Fake.WideCommandLine = u"prog \"\u0141 \u8868\" \uFF02a b\"";
    TestArena arena;
    ParamReader reader;
    StartParamReader(reader, true);
    std::vector<std::u16string> params;
    for (char16_t* param; *(param = NextParam(reader, arena));) {
        params.push_back(param);
    }
    EXPECT_EQ(params, (std::vector<std::u16string>{u"\u0141 \u8868", u"\uFF02a", u"b\""}));
}

}  // namespace
