// rtpainttest.h - shared by the rich-text painting tests: a memory PS with
// a two-entry context put into it, ink bounding boxes read back from the
// pixels, and native measurements on the test's own context.
#ifndef RTPAINTTEST_H
#define RTPAINTTEST_H

#include <gtest/gtest.h>
#include <algorithm>
#include <climits>
#include <string>
#include <vector>
#include "pm/gpi/gpitest.h"
#include "rttest.h"
#include "rtpaint.h"

namespace rtpainttest {

using gpitest::Canvas;
using gpitest::WHITE;
using rttest::Context;


inline constexpr COLORREF RED = RGB(255, 0, 0);      // colour index 2
inline constexpr COLORREF GREEN = RGB(0, 255, 0);    // colour index 4
inline constexpr COLORREF PALE = RGB(192, 192, 192); // colour index 15
inline constexpr LONG W = 400, H = 300;

// Ink bounding box in native pixels (top-down), counting pixels != WHITE
// (or == colour when one is given) inside [x0, x1) x [y0, y1).
struct Ink {
    LONG left = LONG_MAX, top = LONG_MAX, right = -1, bottom = -1;
    int count = 0;
    bool empty() const { return count == 0; }
    LONG width() const { return right - left + 1; }
    LONG height() const { return bottom - top + 1; }
};

inline Ink inkOf(const Canvas &c, LONG x0 = 0, LONG y0 = 0, LONG x1 = W, LONG y1 = H,
          COLORREF only = CLR_INVALID)
{
    Ink k;
    for (LONG y = y0; y < y1; y++)
        for (LONG x = x0; x < x1; x++) {
            COLORREF p = c.at(x, y);
            if (only == CLR_INVALID ? p == WHITE : p != only)
                continue;
            k.count++;
            k.left = std::min(k.left, x), k.right = std::max(k.right, x);
            k.top = std::min(k.top, y), k.bottom = std::max(k.bottom, y);
        }
    return k;
}

// Bands of rows holding ink: one per painted line.
inline std::vector<Ink> lineBands(const Canvas &c)
{
    std::vector<Ink> bands;
    LONG y = 0;
    while (y < H) {
        if (inkOf(c, 0, y, W, y + 1).empty()) {
            y++;
            continue;
        }
        LONG start = y;
        while (y < H && !inkOf(c, 0, y, W, y + 1).empty())
            y++;
        bands.push_back(inkOf(c, 0, start, W, y));
    }
    return bands;
}

// A canvas with a two-entry context put into it: entry 0 small, entry 1 big.
struct Page {
    Canvas canvas{W, H};
    Context ctx;
    PRTFONTSET fs = nullptr;
    Page()
    {
        RtStrAddContextEntry(ctx.h, "Tahoma", -10);
        RtStrAddContextEntry(ctx.h, "Tahoma", -20);
        fs = RtStrPutContextIntoPS(canvas.ps(), ctx.h);
    }
    ~Page() { RtStrReleaseContextFromPS(canvas.ps(), fs, ctx.h); }
    HPS ps() const { return canvas.ps(); }
    // Width of text in font id, measured natively on the canvas's context.
    LONG extent(LONG id, const std::string &text) const
    {
        EXPECT_TRUE(GpiSetCharSet(ps(), id));
        SIZE sz{};
        GetTextExtentPoint32A(canvas.dc(), text.data(), (int)text.size(), &sz);
        return sz.cx;
    }
    TEXTMETRICA metrics(LONG id) const
    {
        GpiSetCharSet(ps(), id);
        TEXTMETRICA tm{};
        GetTextMetricsA(canvas.dc(), &tm);
        return tm;
    }
};

// The native row of the PM row y.
inline LONG nativeRow(LONG y) { return H - y - 1; }

inline PM_RECTL rect(LONG x0, LONG y0, LONG x1, LONG y1) { return PM_RECTL{x0, y0, x1, y1}; }


} // namespace rtpainttest

#endif
