// The text families from two threads at once: DBCS stepping and case
// changes, wide forms, string lists, tokenizers and match cursors on
// handles of their own, date formatting and parsing.  Each thread must
// get exactly what one thread alone gets for the same work; in the code
// page 932 pass the texts are full of double-byte characters.
#include <atomic>
#include <string>
#include <thread>
#include <vector>
#include "textinit.h"
#include "dat.h"
#include "strlst.h"
#include "stu.h"
#include "wstr.h"

namespace {

textinit::Init init;

// Words, blanks and (under code page 932) double-byte characters, some
// with trail bytes that equal ASCII letters and the backslash.
std::string makeText(unsigned seed)
{
    static const char *const pieces[] = {"Alpha", "beta", " ", ",", "GAMMA", "\x83\x41", "\x95\x5C",
                                         "\x81\x40", "word", "\x82\xA0", "  ", "Zeta"};
    std::string text;
    for (int i = 0; i < 40; i++) {
        seed = seed * 1103515245u + 12345u;
        const char *piece = pieces[(seed >> 16) % (sizeof pieces / sizeof *pieces)];
        if (textinit::cp932() || static_cast<unsigned char>(piece[0]) < 0x80)
            text += piece;
    }
    return text;
}

std::string stringWork(const std::string &text)
{
    std::string out = std::to_string(StrCLen(text.c_str())) + ";";
    for (const char *p = text.c_str(); *p; p = StrCharNext(p))
        out += std::to_string(StrGetChar(p)) + ",";
    USHORT ch;
    for (const char *p = text.c_str() + text.size(); p > text.c_str();) {
        p = StrGetCharPrev(text.c_str(), p, &ch);
        out += std::to_string(ch) + ".";
    }
    std::vector<char> buf(text.begin(), text.end());
    buf.push_back(0);
    out += StrLwrFirstUprAll(buf.data());
    out += StrUpr(buf.data());
    const char *found = StrIStr(text.c_str(), "WORD");
    out += std::to_string(found ? found - text.c_str() : -1);
    std::vector<WCHAR> wide(text.size() + 1);
    std::vector<char> back(text.size() + 1);
    WStrMultiByteToWideChar(wide.data(), text.c_str());
    WStrLwr(wide.data());
    out += WStrWideCharToMultiByte(back.data(), wide.data());
    return out;
}

std::string listWork(const std::string &text)
{
    std::string out;
    char *list = StrLstCreateList(text.c_str(), ',');
    list = StrLstAddString(list, "middle");
    list = StrLstSort(list, 0);
    USHORT size = 0;
    out += std::to_string(StrLstGetListInfo(list, &size)) + "/" + std::to_string(size) + ";";
    out += std::to_string(StrLstFindString(list, "MIDDLE", 0)) + ";";
    for (const char *p = list; *p; p += strlen(p) + 1)
        out += std::string(p) + "|";
    free(list);

    HSTRTOK tok = StrTokOpen(text.c_str());
    while (const char *t = StrTokGet(tok, " ,\x81\x40"))
        out += std::string(t) + "#";
    StrTokClose(tok);
    return out;
}

std::string scanWork(const std::string &text)
{
    std::string out;
    std::string source = "n = -12, list(a,b) 0x1F " + text;
    STUMATCH *c = nullptr;
    if (StuMatchOpen(source.c_str(), &c) != 0)
        return "no cursor";
    out += std::to_string(StuMatchBMatch(c, "n")) + std::to_string(StuMatchBMatch(c, "="));
    out += std::to_string(StuMatchLong(c)) + ";";
    char copy[64];
    USHORT ovf;
    out += std::to_string(StuMatchFindEx(c, " ", STU_FIND_QUOTES, copy, sizeof copy, &ovf, NULL));
    out += copy;
    out += std::to_string(StuMatchHexLong(c)) + ";";
    while (!StuMatchEom(c))
        out += std::to_string(StuMatchGetChar(c)) + ",";
    StuMatchClose(c);
    return out;
}

std::string dateWork(unsigned seed)
{
    std::string out;
    for (unsigned i = 0; i < 20; i++) {
        DATETIME dt, back;
        DatDTJulian2Datetime(&dt, 600000.0 + (seed * 7919u + i * 104729u) % 3000000u + i / 25.0);
        char text[64];
        DatSprintf(text, sizeof text - 1, "[V], [@N] [ D] [Y] [0i]:[0m]:[0s] [a]", &dt);
        out += text;
        DatSprintf(text, sizeof text - 1, "[Y]-[0M]-[0D] [0h]:[0m] [A]", &dt);
        out += std::to_string(DatScanf(&back, "[Y]-[0M]-[0D] [0h]:[0m] [A]", text, NULL));
        out += std::to_string(back.year) + "." + std::to_string(back.month) + "." +
               std::to_string(back.day) + " " + std::to_string(back.hours) + ";";
    }
    return out;
}

std::string allWork(unsigned seed)
{
    std::string text = makeText(seed);
    return stringWork(text) + "\n" + listWork(text) + "\n" + scanWork(text) + "\n" + dateWork(seed);
}

TEST(TextThreads, TwoThreadsGetWhatOneThreadGets)
{
    constexpr unsigned kRounds = 200;
    constexpr unsigned kSecondSeeds = 100000;
    std::vector<std::string> first, second;
    for (unsigned i = 0; i < kRounds; i++) {
        first.push_back(allWork(i));
        second.push_back(allWork(kSecondSeeds + i));
    }
    ASSERT_NE(first[0], second[0]) << "the two threads must do different work";

    std::atomic<unsigned> mismatches{0};
    std::atomic<bool> go{false};
    auto run = [&](const std::vector<std::string> &expected, unsigned base) {
        while (!go.load())
            std::this_thread::yield();
        for (unsigned i = 0; i < kRounds; i++)
            if (allWork(base + i) != expected[i])
                mismatches++;
    };
    std::thread a(run, std::cref(first), 0u);
    std::thread b(run, std::cref(second), kSecondSeeds);
    go = true;
    a.join();
    b.join();
    EXPECT_EQ(mismatches.load(), 0u);
}

} // namespace
