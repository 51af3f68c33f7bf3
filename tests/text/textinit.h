// textinit.h - what every text test program does first, as applications
// do: build the code-page and lead-byte tables.  Also tells whether the
// program runs under the double-byte ANSI code page 932.
#ifndef TEXTINIT_H
#define TEXTINIT_H

#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include "knl.h"
#include "str.h"

namespace textinit {

struct Init {
    Init() { KnlInitCP(); KnlInitDBCSEv(); }
};

inline bool cp932()
{
    return GetACP() == 932 && ChrIsDBCSLeadByte(0x81);
}

// A buffer with guard bytes behind its usable size, to catch writes past it.
template <size_t N>
struct Guarded {
    static const size_t GUARD = 16;
    char buf[N + GUARD];
    Guarded() { memset(buf, 'G', sizeof buf); }
    bool guardIntact() const
    {
        for (size_t i = N; i < N + GUARD; i++)
            if (buf[i] != 'G')
                return false;
        return true;
    }
};

} // namespace textinit

#define NEED_CP932() \
    do { if (!textinit::cp932()) GTEST_SKIP() << "needs ANSI code page 932"; } while (0)

#endif
