// The pieces every family builds on: the handle pool that checks handles by
// value, the scope guard, the owners of system handles, and the guards that
// keep exceptions from crossing the exported interface.
#include <gtest/gtest.h>
#include <atomic>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>
#include "frame/boundary.h"
#include "frame/handle_pool.h"
#include "frame/scope.h"

namespace {

struct Record {
    explicit Record(int v) : value(v) { ++alive; }
    ~Record() { --alive; }
    int value;
    char payload[40] = {};
    static inline int alive = 0;
};

struct Throwing {
    Throwing() { throw std::runtime_error("refused"); }
};

TEST(HandlePool, LiveUntilDestroyedAndNeverReadThrough)
{
    static orin::HandlePool<Record> pool;
    Record *a = pool.make(1).release();
    Record *b = pool.make(2).release();
    EXPECT_EQ(pool.get(a), a);
    EXPECT_EQ(pool.get(b)->value, 2);
    EXPECT_EQ(pool.count(), 2u);

    pool.destroy(a);
    EXPECT_FALSE(pool.live(a));          // closed
    EXPECT_TRUE(pool.owns(a));           // but still ours
    EXPECT_TRUE(pool.live(b));
    pool.destroy(a);                     // a second close is ignored
    EXPECT_EQ(Record::alive, 1);

    // Values that are not records: null, inside a record, on the stack,
    // in the heap, and a small integer.
    int onStack = 0;
    auto heap = std::make_unique<Record>(9);
    EXPECT_FALSE(pool.live(nullptr));
    EXPECT_FALSE(pool.live(reinterpret_cast<char *>(b) + 1));
    EXPECT_FALSE(pool.owns(reinterpret_cast<char *>(b) + 1));
    EXPECT_FALSE(pool.live(&onStack));
    EXPECT_FALSE(pool.live(heap.get()));
    EXPECT_FALSE(pool.owns(heap.get()));
    EXPECT_FALSE(pool.live(reinterpret_cast<void *>(0x1234)));
    pool.destroy(heap.get());            // not ours: untouched
    EXPECT_EQ(heap->value, 9);
    pool.destroy(b);
    EXPECT_EQ(pool.count(), 0u);
}

TEST(HandlePool, OwnedRecordGoesBackWhenNotHandedOut)
{
    static orin::HandlePool<Record> pool;
    Record *seen;
    {
        auto owned = pool.make(5);
        seen = owned.get();
        EXPECT_TRUE(pool.live(seen));
    }
    EXPECT_FALSE(pool.live(seen));
    EXPECT_EQ(pool.count(), 0u);
}

TEST(HandlePool, ClosedSlotIsReusedLast)
{
    static orin::HandlePool<Record> pool;
    Record *first = pool.make(1).release();
    pool.destroy(first);
    // Every other free slot of the first chunk comes before the closed one.
    std::vector<Record *> made;
    for (int i = 0; i < 15; i++) {
        made.push_back(pool.make(i).release());
        EXPECT_NE(made.back(), first);
    }
    EXPECT_FALSE(pool.live(first));
    for (Record *r : made)
        pool.destroy(r);
}

TEST(HandlePool, GrowsAcrossChunksAndKeepsEveryHandle)
{
    static orin::HandlePool<Record> pool;
    std::vector<Record *> made;
    for (int i = 0; i < 5000; i++)
        made.push_back(pool.make(i).release());
    std::set<Record *> distinct(made.begin(), made.end());
    EXPECT_EQ(distinct.size(), made.size());
    for (int i = 0; i < 5000; i++)
        ASSERT_EQ(pool.get(made[i])->value, i);
    for (size_t i = 0; i < made.size(); i += 2)
        pool.destroy(made[i]);
    for (size_t i = 0; i < made.size(); i++)
        ASSERT_EQ(pool.live(made[i]), i % 2 == 1);
    for (size_t i = 1; i < made.size(); i += 2)
        pool.destroy(made[i]);
    EXPECT_EQ(pool.count(), 0u);
}

TEST(HandlePool, FailedConstructionGivesTheSlotBack)
{
    static orin::HandlePool<Throwing> pool;
    EXPECT_THROW(pool.make(), std::runtime_error);
    EXPECT_EQ(pool.tryMake(), nullptr);
    EXPECT_EQ(pool.count(), 0u);
}

TEST(HandlePool, ThreadsMakeAndCheckAtOnce)
{
    static orin::HandlePool<Record> pool;
    std::atomic<int> wrong{0};
    auto work = [&](int seed) {
        std::vector<Record *> mine;
        for (int round = 0; round < 2000; round++) {
            mine.push_back(pool.make(seed + round).release());
            if (round % 3 == 2) {
                Record *r = mine.front();
                mine.erase(mine.begin());
                pool.destroy(r);
            }
            for (Record *r : mine)
                if (!pool.live(r))
                    wrong++;
        }
        for (Record *r : mine)
            pool.destroy(r);
    };
    std::thread t1(work, 0), t2(work, 100000);
    t1.join();
    t2.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(pool.count(), 0u);
}

TEST(ScopeExit, RunsUnlessDismissed)
{
    int closed = 0;
    {
        auto g = orin::scopeExit([&] { closed++; });
    }
    EXPECT_EQ(closed, 1);
    {
        auto g = orin::scopeExit([&] { closed++; });
        g.dismiss();
    }
    EXPECT_EQ(closed, 1);
    try {
        auto g = orin::scopeExit([&] { closed++; });
        throw std::runtime_error("x");
    } catch (const std::runtime_error &) {
    }
    EXPECT_EQ(closed, 2);
}

TEST(Owners, ReleaseTheirSystemHandles)
{
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    HANDLE copy;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &copy, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    {
        orin::UniqueHandle owner(copy);
    }
    DWORD flags;
    EXPECT_FALSE(GetHandleInformation(copy, &flags));   // closed by the owner
    EXPECT_TRUE(GetHandleInformation(event, &flags));
    CloseHandle(event);

    EXPECT_EQ(orin::adoptFileHandle(INVALID_HANDLE_VALUE), nullptr);
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key), ERROR_SUCCESS);
    {
        orin::UniqueRegKey owner(key);
    }
    char name[64];
    DWORD size = sizeof name;
    EXPECT_NE(RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
}

TEST(Boundary, ExceptionsBecomeCodes)
{
    EXPECT_EQ(orin::guardCode([]() -> USHORT { return 33; }), 33);
    EXPECT_EQ(orin::guardCode([]() -> USHORT { throw std::bad_alloc(); }), ORIN_ERR_NO_MEMORY);
    EXPECT_EQ(orin::guardCode([]() -> USHORT {
                  std::vector<int> v;
                  v.reserve(v.max_size() + 1);
                  return 0;
              }),
              ORIN_ERR_NO_MEMORY);
    EXPECT_EQ(orin::guardCode([]() -> USHORT { throw std::runtime_error("x"); }),
              ORIN_ERR_GENERAL);

    SetLastError(0);
    int *none = orin::guardValue<int *>(nullptr, []() -> int * { throw std::bad_alloc(); });
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ORIN_ERR_NO_MEMORY));

    SetLastError(0);
    orin::guardVoid([] { throw 42; });
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ORIN_ERR_GENERAL));
}

}  // namespace
