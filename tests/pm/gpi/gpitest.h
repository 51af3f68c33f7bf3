// Shared by the drawing tests: a presentation space on a memory context
// that holds a 32-bit top-down DIB section, so every pixel a call draws
// can be read back, and small colour helpers.
#ifndef GPITEST_H
#define GPITEST_H

#include <gtest/gtest.h>
#include <cstring>
#include "gpi.h"

namespace gpitest {

constexpr COLORREF WHITE = RGB(255, 255, 255);
constexpr COLORREF BLACK = RGB(0, 0, 0);

// A W x H DIB section in a memory context, and a PS on it.
class Canvas {
public:
    Canvas(LONG w, LONG h) : w_(w), h_(h)
    {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;           // top-down: row 0 is the top
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        hdc_ = CreateCompatibleDC(NULL);
        dib_ = CreateDIBSection(hdc_, &bi, DIB_RGB_COLORS, (void **)&bits_, NULL, 0);
        old_ = SelectObject(hdc_, dib_);
        clear(WHITE);
        PM_SIZEL size{w, h};
        hps_ = GpiCreatePS(WinInitialize(0), hdc_, &size, PM_GPIA_ASSOC);
    }
    ~Canvas()
    {
        if (hps_)
            GpiDestroyPS(hps_);
        SelectObject(hdc_, old_);
        DeleteObject(dib_);
        DeleteDC(hdc_);
    }
    Canvas(const Canvas &) = delete;
    Canvas &operator=(const Canvas &) = delete;

    HPS ps() const { return hps_; }
    HDC dc() const { return hdc_; }
    HBITMAP bitmap() const { return dib_; }
    LONG width() const { return w_; }
    LONG height() const { return h_; }

    // Native pixel (x, y from the top) as a COLORREF.
    COLORREF at(LONG x, LONG y) const
    {
        GdiFlush();
        DWORD v = bits_[y * w_ + x];   // 0x00RRGGBB in memory order B, G, R
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    // The pixel a PM point names, by the flip rule written out here.
    COLORREF pm(LONG x, LONG y) const { return at(x, h_ - y - 1); }

    void clear(COLORREF c)
    {
        GdiFlush();
        DWORD v = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
        for (LONG i = 0; i < w_ * h_; i++)
            bits_[i] = v;
    }
    // Pixels different from c.
    int countNot(COLORREF c) const
    {
        int n = 0;
        for (LONG y = 0; y < h_; y++)
            for (LONG x = 0; x < w_; x++)
                n += at(x, y) != c;
        return n;
    }
    bool sameAs(const Canvas &o) const
    {
        GdiFlush();
        return w_ == o.w_ && h_ == o.h_ && memcmp(bits_, o.bits_, size_t(w_) * h_ * 4) == 0;
    }

private:
    LONG w_, h_;
    HDC hdc_ = NULL;
    HBITMAP dib_ = NULL;
    HGDIOBJ old_ = NULL;
    DWORD *bits_ = nullptr;
    HPS hps_ = NULL;
};

inline PM_POINTL pt(LONG x, LONG y) { return PM_POINTL{x, y}; }

inline void moveTo(HPS hps, LONG x, LONG y)
{
    PM_POINTL p{x, y};
    ASSERT_TRUE(GpiMove(hps, &p));
}
inline void lineTo(HPS hps, LONG x, LONG y)
{
    PM_POINTL p{x, y};
    ASSERT_EQ(GpiLine(hps, &p), PM_GPI_OK);
}

// A box from (x0, y0) to (x1, y1) with the given control flags.
inline void box(HPS hps, LONG fl, LONG x0, LONG y0, LONG x1, LONG y1)
{
    moveTo(hps, x0, y0);
    PM_POINTL corner{x1, y1};
    ASSERT_EQ(GpiBox(hps, fl, &corner, 0, 0), PM_GPI_OK);
}

} // namespace gpitest

#endif
