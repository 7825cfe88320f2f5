#include "support/support.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void Exhausted()
{
    std::fputs("arena exhausted\n", stderr);
    std::abort();
}

}  // namespace

TestArena::TestArena(ptrdiff_t size) : memory(static_cast<char*>(std::malloc(size)))
{
    std::memset(memory, 0xA5, size);
    // All of it usable from the start: nothing to commit.
    arena = Arena{memory, memory + size, memory + size, nullptr, Exhausted};
    ArenaPoison(memory, size);
}

TestArena::~TestArena()
{
    ArenaUnpoison(memory, arena.End - memory);
    std::free(memory);
}

// Every test starts with a fresh fake Windows, whatever the one before it
// set up.
#include <gtest/gtest.h>
#include "support/fake_os.h"

namespace {

class FreshFake : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { ResetFake(); }
};

const bool Registered = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new FreshFake);
    return true;
}();

}  // namespace
