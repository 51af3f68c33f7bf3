// Random strings against a model of the scanning rule written here from
// the escape-sequence table: the model reads a string into visible
// characters (offset, bytes, the formatting in force, where the codes in
// front of them start) and runs, and every operation's answer is computed
// from it independently.  Lead bytes come from the system
// (IsDBCSLeadByteEx), so under code page 932 the strings hold double-byte
// characters whose trail bytes are '^', code letters or the escape byte.
#include <algorithm>
#include <cstdio>
#include <random>
#include "rttest.h"

namespace {

textinit::Init init;
using namespace rttest;

struct MFormat {
    unsigned word = 0, color = 0, back = 0xFFFF;
    bool operator==(const MFormat &o) const
    {
        return word == o.word && color == o.color && back == o.back;
    }
};

struct MChar {
    size_t offset, len, codesStart;
    MFormat fmt;
};

struct Model {
    std::string s;
    std::vector<MChar> chars;
    std::vector<RunRecord> runs;
    size_t end = 0;           // where the string ends: terminator or a last escape byte
    MFormat endFmt;
    bool storeRoundTrips = true;
};

bool leadByte(unsigned char b)
{
    return IsDBCSLeadByteEx(CP_ACP, b) != 0;
}

void applyCode(char letter, unsigned long n, MFormat &f)
{
    auto choose = [&](unsigned one, unsigned two) {
        f.word &= ~(one | two);
        if (n == 2)
            f.word |= two;
        else if (n != 0)
            f.word |= one;
    };
    switch (letter) {
    case 'i': f.word = n ? (f.word | 0x1) : (f.word & ~0x1u); break;
    case 'b': f.word = n ? (f.word | 0x2) : (f.word & ~0x2u); break;
    case 's': f.word = n ? (f.word | 0x400) : (f.word & ~0x400u); break;
    case 'u': choose(0x800, 0x1000); break;
    case 'p': choose(0x2000, 0x4000); break;
    case 'f': f.word = (f.word & ~0x3FCu) | ((n % 256) << 2); break;
    case 'c': f.color = unsigned(n); break;
    case 'g': f.back = n > 255 ? 0xFFFF : unsigned(n); break;
    case 'x': f.word |= 0x8000; break;
    }
}

Model read(const std::string &s)
{
    Model m;
    m.s = s;
    MFormat f;
    std::string text;
    size_t i = 0, codesStart = 0;
    bool afterCodes = false;
    while (i < s.size()) {
        unsigned char c = (unsigned char)s[i];
        if (c == 0x7F && i + 1 == s.size())
            break;
        if (c == 0x7F && strchr("bcfgipsux", s[i + 1])) {
            if (!text.empty()) {
                m.runs.push_back({f.word, f.color, f.back, text});
                text.clear();
            }
            if (!afterCodes)
                codesStart = i;
            afterCodes = true;
            char letter = s[i + 1];
            i += 2;
            unsigned long n = 0;
            while (i < s.size() && isdigit((unsigned char)s[i]))
                n = std::min(n * 10 + (s[i++] - '0'), 65535ul);
            if (i < s.size() && s[i] == ';')
                i++;
            applyCode(letter, n, f);
            continue;
        }
        size_t len = leadByte(c) && i + 1 < s.size() ? 2 : 1;
        if (c == 0x7F && (s[i + 1] == '^' || s[i + 1] == '\x7f'))
            m.storeRoundTrips = false;
        m.chars.push_back({i, len, afterCodes ? codesStart : i, f});
        text += s.substr(i, len);
        afterCodes = false;
        i += len;
    }
    m.end = i;
    m.endFmt = f;
    m.runs.push_back({f.word, f.color, f.back, text});
    return m;
}

std::string visible(const Model &m)
{
    std::string v;
    for (const MChar &c : m.chars)
        v += m.s.substr(c.offset, c.len);
    return v;
}

std::string storedForm(const std::string &s)
{
    std::string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = (unsigned char)s[i];
        if (leadByte(c) && i + 1 < s.size()) {
            out += s.substr(i, 2);
            i += 2;
            continue;
        }
        out += c == 0x7F ? std::string("^") : c == '^' ? std::string("^^") : std::string(1, char(c));
        i++;
    }
    return out;
}

unsigned charValue(const Model &m, const MChar &c)
{
    unsigned v = (unsigned char)m.s[c.offset];
    return c.len == 2 ? v | ((unsigned char)m.s[c.offset + 1] << 8) : v;
}

std::string randomRich(std::mt19937 &rng)
{
    static const char *const texts[] = {"a", "b", "c", "x", "A", "Z", " ", " ", "\t", "^", ";", "7", "12"};
    static const char *const pairs[] = {"\x82\xA0", "\x81\x5E", "\x83\x62", "\x88\x7F", "\x81\x40", "\x93\xFA"};
    static const char letters[] = "bcfgipsux";
    static const char *const numbers[] = {"", "0", "1", "2", "5", "255", "256", "300", "70000"};
    std::string s;
    int pieces = int(rng() % 14);
    for (int k = 0; k < pieces; k++) {
        switch (rng() % 6) {
        case 0: case 1: s += texts[rng() % 13]; break;
        case 2: s += pairs[rng() % 6]; break;
        case 3: case 4:
            s += '\x7f';
            s += letters[rng() % 9];
            s += numbers[rng() % 9];
            if (rng() % 2)
                s += ';';
            break;
        case 5: s += "\x7fz"; break;
        }
    }
    switch (rng() % 8) {
    case 0: s += '\x7f'; break;        // an escape byte that ends the string
    case 1: s += '\x82'; break;        // a lead byte before the terminator
    }
    return s;
}

std::string erased(const std::string &s, size_t at, size_t n)
{
    std::string r = s;
    r.erase(at, n);
    return r;
}

std::string inserted(const std::string &s, size_t at, const std::string &t)
{
    std::string r = s;
    r.insert(at, t);
    return r;
}

// The string without the visible characters [from, to) of the model.
std::string withoutChars(const Model &m, size_t from, size_t to)
{
    std::string r = m.s;
    for (size_t k = to; k-- > from;)
        r.erase(m.chars[k].offset, m.chars[k].len);
    return r;
}

void checkOne(const Model &m, std::mt19937 &rng)
{
    const char *s = m.s.c_str();
    std::string vis = visible(m);
    ASSERT_EQ(RtStrLen(s), vis.size());
    Heap plain(RtStripFromFormatting(s));
    ASSERT_EQ(str(plain), vis);
    ASSERT_EQ(runsOf(s), m.runs);

    ULONG len = 0;
    Heap stored(RtStrMakeStore(s, &len));
    ASSERT_EQ(str(stored), storedForm(m.s));
    ASSERT_EQ(len, storedForm(m.s).size());
    if (m.storeRoundTrips) {
        Heap back(RtStrRetrieveStore(stored.get()));
        ASSERT_EQ(str(back), m.s);
    }

    size_t count = m.chars.size();
    size_t n = rng() % (count + 1);
    size_t at = n < count ? m.chars[n].offset : m.end;
    MFormat want = n < count ? m.chars[n].fmt : m.endFmt;
    USHORT font = 0, attr = 0, color = 0, back = 0xFFFF;
    ASSERT_EQ(RtStrNCAttr(s, n, &font, &attr, &color, &back), s + at) << "n " << n;
    EXPECT_EQ(MFormat({unsigned(attr | (font << 2)), color, back}), want) << "n " << n;

    size_t bytes = rng() % (vis.size() + 2), done = 0, k = 0, whole = 0;
    for (; k < count && done < bytes; k++)
        done += m.chars[k].len;
    for (size_t sum = 0; whole < count && sum + m.chars[whole].len <= bytes; whole++)
        sum += m.chars[whole].len;
    ASSERT_EQ(RtStrNAttr(s, bytes, nullptr, nullptr, nullptr, nullptr),
              s + (k < count ? m.chars[k].offset : m.end)) << "bytes " << bytes;
    ASSERT_EQ(RtStrNBytesToNChr(s, bytes), whole) << "bytes " << bytes;

    if (count) {
        const MChar &pick = m.chars[rng() % count];
        unsigned v = charValue(m, pick);
        auto first = std::find_if(m.chars.begin(), m.chars.end(),
                                  [&](const MChar &c) { return charValue(m, c) == v; });
        ASSERT_EQ(RtStrChr(s, USHORT(v)), s + first->offset);
        std::string one = m.s.substr(pick.offset, pick.len);
        ASSERT_NE(RtStrStr(s, one.c_str()), nullptr);

        size_t d = rng() % count;
        std::string buf = m.s + std::string(8, '\0');
        ASSERT_NE(RtStrDeleteChar(&buf[0], d), nullptr);
        ASSERT_EQ(std::string(buf.c_str()), erased(m.s, m.chars[d].offset, m.chars[d].len));
    }

    std::string buf = m.s + std::string(8, '\0');
    ASSERT_NE(RtStrInsertStr(&buf[0], n, "<>"), nullptr);
    ASSERT_EQ(std::string(buf.c_str()), inserted(m.s, at, "<>")) << "n " << n;
    buf = m.s + std::string(8, '\0');
    ASSERT_NE(RtStrPreInsertStr(&buf[0], n, "<>"), nullptr);
    ASSERT_EQ(std::string(buf.c_str()), inserted(m.s, n < count ? m.chars[n].codesStart : m.end, "<>"));

    auto isSpace = [&](const MChar &c) { return ChrIsSpace(USHORT(charValue(m, c))) != 0; };
    size_t firstKept = 0, keptEnd = count;
    while (firstKept < count && isSpace(m.chars[firstKept]))
        firstKept++;
    while (keptEnd > 0 && isSpace(m.chars[keptEnd - 1]))
        keptEnd--;
    buf = m.s;
    RtStrLTrim(&buf[0]);
    ASSERT_EQ(std::string(buf.c_str()), withoutChars(m, 0, firstKept));
    buf = m.s;
    RtStrRTrim(&buf[0]);
    ASSERT_EQ(std::string(buf.c_str()), withoutChars(m, keptEnd, count));

    std::string pasted;
    for (const RunRecord &r : m.runs) {
        char piece[40];
        snprintf(piece, sizeof piece, "\x7f" "f%u;\x7f" "c%u;\x7fs", r.word, r.color);
        pasted += piece;
    }
    buf = m.s;
    if (pasted.size() <= m.s.size()) {
        ASSERT_EQ(RtStrSplitAndPaste(&buf[0]), 0);
        ASSERT_EQ(std::string(buf.c_str()), pasted);
    } else {
        ASSERT_EQ(RtStrSplitAndPaste(&buf[0]), 111);
        ASSERT_EQ(buf, m.s);
    }
}

TEST(RtModel, RandomStringsAgreeWithTheModel)
{
    std::mt19937 rng(20261207);
    for (int i = 0; i < 4000; i++) {
        std::string s = randomRich(rng);
        Model m = read(s);
        SCOPED_TRACE("string #" + std::to_string(i));
        checkOne(m, rng);
        if (HasFatalFailure())
            return;
    }
}

TEST(RtModel, StoredTextsComeBackThroughTheirRichForm)
{
    // Any stored text read and written again is the text itself, as long
    // as no escape byte of its own stands in it.
    std::mt19937 rng(7);
    static const char *const pieces[] = {"^", "^^", "a", "b1;", "\x82\x5E", " ", "\x81"};
    for (int i = 0; i < 2000; i++) {
        std::string stored;
        for (int k = int(rng() % 10); k > 0; k--)
            stored += pieces[rng() % 7];
        Heap rich(RtStrRetrieveStore(stored.c_str()));
        Heap again(RtStrMakeStore(rich.get(), nullptr));
        ASSERT_EQ(str(again), stored) << i;
    }
}

}  // namespace
