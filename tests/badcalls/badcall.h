/*
 * badcall.h - the machinery of the bad-call sweep: tables of cases, each
 * a function name with the bad argument it gets and a call that answers
 * whether the library refused it properly.
 *
 * A case runs on a thread of its own under a watchdog, so a call that
 * hangs fails its case instead of the run.  Beside every case a scratch
 * file stays open through a Vbf handle; its bytes are compared before and
 * after, so a bad call that writes somewhere it should not is caught.
 */
#ifndef BADCALL_H
#define BADCALL_H

#include <windows.h>

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace badcall {

/* Longest a single call may take. */
constexpr DWORD kWatchdogMs = 5000;

/* One call with one bad argument; run() is true when the library refused
 * it as it should. */
struct Case {
    std::string name;
    std::function<bool()> run;
};
using Table = std::vector<Case>;

/* The values tried in place of a handle: null, closed, a pointer to the
 * stack, a made-up small value and a live handle of another family. */
struct HandleSource {
    std::function<void *()> closed;   /* opens a handle and closes it */
    std::function<void *()> foreign;  /* a live handle of another family; empty
                                       * where the family reads through
                                       * handles it does not own */
};

/* Adds the five handle cases of `function`; `call` makes the call with
 * the given handle and answers whether it was refused. */
void addHandleCases(Table &table, const std::string &function, const HandleSource &source,
                    const std::function<bool(void *)> &call);

/* Adds one case named function_argument. */
void addCase(Table &table, const std::string &function, const std::string &argument,
             std::function<bool()> call);

/* Cases print as their names. */
void PrintTo(const Case &c, std::ostream *out);

/* Runs a case under the watchdog: false when it did not end in time. */
bool runGuarded(const Case &c, bool *refused);

/* The scratch file kept open beside every case. */
void openBesideFile();
void checkBesideFile();

/* A file of `size` bytes of a fixed pattern. */
void makeFile(const char *name, size_t size);

}  // namespace badcall

/* One parameterised test per family over its table. */
#define BADCALL_SUITE(Family, tableFn)                                                    \
    class Family : public ::testing::TestWithParam<badcall::Case> {};                     \
    TEST_P(Family, Refused)                                                               \
    {                                                                                     \
        bool refused = false;                                                             \
        ASSERT_TRUE(badcall::runGuarded(GetParam(), &refused)) << "call did not return"; \
        EXPECT_TRUE(refused) << "bad argument not refused";                               \
        badcall::checkBesideFile();                                                       \
    }                                                                                     \
    INSTANTIATE_TEST_SUITE_P(                                                             \
        Sweep, Family, ::testing::ValuesIn(tableFn()),                                    \
        [](const ::testing::TestParamInfo<badcall::Case> &i) { return i.param.name; })

#endif /* BADCALL_H */
