// dattest.h - building DATETIME records in the date tests.
#ifndef DATTEST_H
#define DATTEST_H

#include <cstring>
#include "dat.h"

namespace dattest {

// A record for the date and time given, timezone unknown, with the
// weekday that the calendar arithmetic gives for the date.
inline DATETIME makeDate(int y, int m, int d, int hh = 0, int mi = 0, int ss = 0, int hs = 0)
{
    DATETIME dt;
    memset(&dt, 0, sizeof dt);
    dt.year = (USHORT)y;
    dt.month = (BYTE)m;
    dt.day = (BYTE)d;
    dt.hours = (BYTE)hh;
    dt.minutes = (BYTE)mi;
    dt.seconds = (BYTE)ss;
    dt.hundredths = (BYTE)hs;
    dt.timezone = -1;
    DATETIME w;
    DatJulian2Datetime(&w, DatDatetime2Julian(&dt));
    dt.weekday = w.weekday;
    return dt;
}

} // namespace dattest

#endif
