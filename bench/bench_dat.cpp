/*
 * bench_dat.cpp - formatting and parsing date-times with a bracket template
 * (DatSprintf, DatScanf) next to the C library's strftime and sscanf doing
 * the same work on the same records, in the same run.
 *
 * The records are spread over 1601..9999 with changing times; both sides
 * write "yyyy-mm-dd hh:mm:ss" and read it back into broken-down fields.
 * The texts of both sides are compared first, so the figures are for the
 * same output.
 */
#include <array>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>
#include "dat.h"

namespace {

constexpr int kCount = 1000000;
constexpr int kTextSize = 24;
constexpr const char *kDatTemplate = "[Y]-[0M]-[0D] [0i]:[0m]:[0s]";
constexpr const char *kCFormat = "%Y-%m-%d %H:%M:%S";
constexpr const char *kCScan = "%d-%d-%d %d:%d:%d";

using Text = std::array<char, kTextSize>;

double now()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)f.QuadPart;
}

void makeRecords(std::vector<DATETIME> &dt, std::vector<struct tm> &tm)
{
    for (int i = 0; i < (int)dt.size(); i++) {
        DatJulian2Datetime(&dt[i], 2305814.0 + (i * 2.9) + (i % 86400) / 86400.0);
        dt[i].hundredths = 0;
        tm[i] = {};
        tm[i].tm_year = dt[i].year - 1900;
        tm[i].tm_mon = dt[i].month - 1;
        tm[i].tm_mday = dt[i].day;
        tm[i].tm_hour = dt[i].hours;
        tm[i].tm_min = dt[i].minutes;
        tm[i].tm_sec = dt[i].seconds;
        tm[i].tm_wday = dt[i].weekday;
    }
}

}  // namespace

int main()
{
    std::vector<DATETIME> dt(kCount);
    std::vector<struct tm> tm(kCount);
    std::vector<Text> datText(kCount), cText(kCount);
    DATETIME back;
    long sink = 0;
    int y, mo, d, h, mi, s;

    makeRecords(dt, tm);

    double t0 = now();
    for (int i = 0; i < kCount; i++)
        DatSprintf(datText[i].data(), kTextSize - 1, kDatTemplate, &dt[i]);
    double tDatFmt = now() - t0;
    t0 = now();
    for (int i = 0; i < kCount; i++)
        strftime(cText[i].data(), kTextSize, kCFormat, &tm[i]);
    double tCFmt = now() - t0;
    for (int i = 0; i < kCount; i++) {
        if (strcmp(datText[i].data(), cText[i].data()) != 0) {
            printf("MISMATCH at %d: %s vs %s\n", i, datText[i].data(), cText[i].data());
            return 1;
        }
    }

    t0 = now();
    for (int i = 0; i < kCount; i++) {
        DatScanf(&back, kDatTemplate, datText[i].data(), NULL);
        sink += back.day;
    }
    double tDatScan = now() - t0;
    t0 = now();
    for (int i = 0; i < kCount; i++) {
        sscanf(cText[i].data(), kCScan, &y, &mo, &d, &h, &mi, &s);
        sink -= d;
    }
    double tCScan = now() - t0;
    if (sink != 0) {
        printf("MISMATCH between DatScanf and sscanf\n");
        return 1;
    }

    printf("%d date-times, template %s\n", kCount, kDatTemplate);
    printf("format: DatSprintf %7.3f s   strftime %7.3f s   ratio %.2f (Dat time / C time)\n",
           tDatFmt, tCFmt, tDatFmt / tCFmt);
    printf("parse : DatScanf   %7.3f s   sscanf   %7.3f s   ratio %.2f (Dat time / C time)\n",
           tDatScan, tCScan, tDatScan / tCScan);
    return 0;
}
