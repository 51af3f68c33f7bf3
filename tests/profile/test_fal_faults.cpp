// Block files when a step fails: a reallocation that grows a block is made
// to fail at every step in turn (each write, each change of the length,
// the block buffer) and must leave the old block, its id and the file's
// bytes exactly as they were; the same file then reopens whole.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "profile/falint.h"
#include "profile/fal_seam.h"
#include "memvbf.h"

namespace {

using orin::fal::stepSeam;

std::vector<unsigned char> &bytesOf(const char *name) { return memvbf::files()[name].data; }

std::string pattern(char first, size_t length)
{
    std::string s(length, ' ');
    for (size_t i = 0; i < length; i++)
        s[i] = (char)(first + i % 23);
    return s;
}

std::string readBlock(HFAL h, ULONG id, size_t length)
{
    std::string s(length, '\0');
    EXPECT_EQ(FalGetBlock(h, id, s.data(), (ULONG)length), 0);
    return s;
}

// How the block to be grown sits in the file.
enum class Place { Middle, MiddleWithRoomElsewhere, Last };

// Makes a fresh file with the block to grow (content `old`) placed as asked;
// returns its id.
ULONG makeFile(const char *name, HFAL *h, Place place, const std::string &old)
{
    memvbf::files().erase(name);
    EXPECT_EQ(FalCreate(NULL, name, h, FAL_FIRST_FIT, 16, 0, 0, memvbf::table()), 0);
    ULONG id = 0, room = 0, after = 0;
    if (place == Place::MiddleWithRoomElsewhere) {
        EXPECT_EQ(FalAllocBlock(*h, &room, 3000, NULL, 0), 0);
    }
    EXPECT_EQ(FalAllocBlock(*h, &id, (ULONG)old.size(), old.data(), (ULONG)old.size()), 0);
    if (place != Place::Last) {
        EXPECT_EQ(FalAllocBlock(*h, &after, 8, "neighbor", 8), 0);
    }
    if (room) {
        EXPECT_EQ(FalFreeBlock(*h, room), 0);
    }
    EXPECT_EQ(FalWriteBlock(*h, 0, 0, "user header", 11), 0);
    EXPECT_EQ(FalFlush(*h), 0);
    return id;
}

class FalReallocFailure : public ::testing::TestWithParam<std::tuple<Place, ULONG>> {};

TEST_P(FalReallocFailure, EveryFailedStepLeavesTheOldBlock)
{
    const auto [place, newLength] = GetParam();
    const char *name = "grow-fail";
    const std::string old = pattern('a', 100), grown = pattern('A', newLength);
    bool succeeded = false;
    for (std::uint64_t nth = 1; nth < 200 && !succeeded; nth++) {
        HFAL h = nullptr;
        const ULONG id = makeFile(name, &h, place, old);
        const std::vector<unsigned char> before = bytesOf(name);
        ULONG moved = id;
        stepSeam.inject(nth);
        USHORT rc = FalReallocBlock(h, &moved, newLength, grown.data(), newLength);
        const std::uint64_t steps = stepSeam.counted();
        stepSeam.inject(0);
        if (rc == 0) {
            EXPECT_GT(nth, steps);            // no injected failure went unnoticed
            EXPECT_EQ(readBlock(h, moved, newLength), grown);
            succeeded = true;
        } else {
            SCOPED_TRACE("failing step " + std::to_string(nth));
            EXPECT_EQ(moved, id);
            EXPECT_EQ(readBlock(h, id, old.size()), old);
            EXPECT_EQ(FalCheck(h), 0);
            EXPECT_EQ(FalFlush(h), 0);
            EXPECT_TRUE(bytesOf(name) == before);
        }
        EXPECT_EQ(FalClose(h), 0);
        ASSERT_EQ(FalOpenEx(NULL, name, &h, 0, memvbf::table()), 0);
        EXPECT_EQ(FalCheck(h), 0);
        if (rc == 0) {
            EXPECT_EQ(readBlock(h, moved, newLength), grown);
        } else {
            EXPECT_EQ(readBlock(h, id, old.size()), old);
        }
        EXPECT_EQ(readBlock(h, 0, 11), "user header");
        EXPECT_EQ(FalClose(h), 0);
    }
    EXPECT_TRUE(succeeded);
}

INSTANTIATE_TEST_SUITE_P(
    Places, FalReallocFailure,
    ::testing::Combine(::testing::Values(Place::Middle, Place::MiddleWithRoomElsewhere,
                                         Place::Last),
                       ::testing::Values(500UL, 5000UL)));

}  // namespace
