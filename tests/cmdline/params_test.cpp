#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "cmdline/params.h"
#include "support/fake_os.h"
#include "support/support.h"

namespace {

// Every parameter the reader hands out, in order, stopping at the first
// call that leaves the cursor where it was.
std::vector<std::string> ReadAll(const std::string& line)
{
    ResetFake();
    Fake.CommandLine = line;
    TestArena arena;
    ParamReader reader;
    StartParamReader(reader, arena);
    std::vector<std::string> params;
    for (;;) {
        int before = reader.Cursor;
        std::string param = Narrow1252(NextParam(reader));
        if (reader.Cursor == before) {
            EXPECT_EQ(param, "") << "a call that does not move the cursor must return the empty text";
            break;
        }
        EXPECT_EQ(reader.Cursor, before + 1);
        params.push_back(param);
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
    ResetFake();
    Fake.WideCommandLine = u"prog a ";
    TestArena arena;
    ParamReader reader;
    StartParamReader(reader, arena);
    EXPECT_EQ(Narrow1252(NextParam(reader)), "a");
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(Narrow1252(NextParam(reader)), "");
        EXPECT_EQ(reader.Cursor, 1);
    }
}

TEST(NextParam, SplitsTheWideLineOnceAndKeepsEveryCharacter)
{
    // The ANSI line would hold quotes for U+FF02 and a blank for U+3000,
    // and split there; the UTF-16 line is split, and each parameter handed
    // out as it stands there, whatever the ANSI code page holds.
    ResetFake();
    Fake.WideCommandLine = u"prog \"C:\\w\\x\uFF02 /noquote \uFF02\\*.*\" a\u3000b \u0141\u00E9\u8868 \uFF02\"";
    TestArena arena;
    ParamReader reader;
    StartParamReader(reader, arena);
    Fake.WideCommandLine = u"prog other";  // read once, at the start
    std::vector<std::u16string> params;
    for (const char16_t* param; *(param = NextParam(reader));) {
        params.push_back(param);
    }
    EXPECT_EQ(params, (std::vector<std::u16string>{u"C:\\w\\x\uFF02 /noquote \uFF02\\*.*", u"a\u3000b",
                                                    u"\u0141\u00E9\u8868", u"\uFF02\""}));
}

}  // namespace
