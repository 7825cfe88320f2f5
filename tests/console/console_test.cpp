#include <gtest/gtest.h>
#include <string>
#include "console/console.h"
#include "support/fake_os.h"

namespace {

TEST(Writers, TreatAnAbsentTextAsTheirContractsSay)
{
    // WriteOut has nothing to write; WriteErrLine still ends a line.
    struct {
        Stream kind;
        std::string via;
    } cases[] = {{Stream::Console, "console"}, {Stream::Redirected, "file"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.via);
        ResetFake();
        Fake.Streams[1] = Fake.Streams[2] = c.kind;
        StartConsoleStreams();
        WriteOut(nullptr);
        WriteErrLine(nullptr);
        EXPECT_EQ(Written(OsStdOutput), "");
        EXPECT_EQ(Written(OsStdError), "\n");
        EXPECT_EQ(Fake.Writes.back().Via, c.via);
    }
}

TEST(Writers, PassBytesOnUnchanged)
{
    const std::string bytes = "a\r\nb\x80\xff\x1a";
    StartConsoleStreams();
    WriteOut(bytes.c_str());
    WriteErrLine(bytes.c_str());
    EXPECT_EQ(Written(OsStdOutput), bytes);
    EXPECT_EQ(Written(OsStdError), bytes + "\n");
}

}  // namespace
