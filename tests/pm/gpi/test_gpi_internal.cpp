// The internal face of a PS that layers drawn on top of it use: the native
// context, the flip height and the rectangle conversions.
#include "gpitest.h"
#include "pm/gpi/gpiint.h"

using namespace gpitest;
using namespace orin::pm::gpi;

TEST(GpiInternal, NativeContextHeightAndRectangles)
{
    Canvas c(30, 70);
    EXPECT_EQ(gpiNativeDC(c.ps()), c.dc());
    EXPECT_EQ(gpiHeight(c.ps()), 70);
    EXPECT_EQ(gpiNativeDC(NULL), (HDC)NULL);
    EXPECT_EQ(GetLastError(), (DWORD)PMERR_GPI_INV_HPS);
    EXPECT_EQ(gpiHeight((HPS)&c), 0);
    GpiPS *ps = gpiFind(c.ps());
    ASSERT_NE(ps, nullptr);
    // PM (0, 0, 9, 9) in a PS 70 high is the native left 0, top 60, right 10, bottom 70
    RECT rc = toNativeRect(*ps, PM_RECTL{0, 0, 9, 9});
    EXPECT_EQ(rc.left, 0);
    EXPECT_EQ(rc.top, 60);
    EXPECT_EQ(rc.right, 10);
    EXPECT_EQ(rc.bottom, 70);
    for (LONG y = -3; y < 80; y += 7) {   // and back again
        PM_RECTL r{y, y, y + 5, y + 11};
        PM_RECTL back = toPMRect(*ps, toNativeRect(*ps, r));
        EXPECT_EQ(back.xLeft, r.xLeft);
        EXPECT_EQ(back.yBottom, r.yBottom);
        EXPECT_EQ(back.xRight, r.xRight);
        EXPECT_EQ(back.yTop, r.yTop);
    }
    // only the low 16 bits of a PM coordinate count, signed
    POINT p = toNative(*ps, PM_POINTL{0x10005, 0x1FFFF});
    EXPECT_EQ(p.x, 5);
    EXPECT_EQ(p.y, 70);
}
