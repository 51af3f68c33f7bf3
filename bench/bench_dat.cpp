/*
 * bench_dat.c - formatting and parsing date-times with a bracket template
 * (DatSprintf, DatScanf) next to the C library's strftime and sscanf doing
 * the same work on the same records, in the same run.
 *
 * The records are spread over 1601..9999 with changing times; both sides
 * write "yyyy-mm-dd hh:mm:ss" and read it back into broken-down fields.
 * The texts of both sides are compared first, so the figures are for the
 * same output.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include "dat.h"

#define COUNT      1000000
#define TEXT_SIZE  24
#define DAT_TMPL   "[Y]-[0M]-[0D] [0i]:[0m]:[0s]"
#define C_FORMAT   "%Y-%m-%d %H:%M:%S"
#define C_SCAN     "%d-%d-%d %d:%d:%d"

static double now(void)
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)f.QuadPart;
}

static void makeRecords(DATETIME *dt, struct tm *tm, int n)
{
    int i;
    for (i = 0; i < n; i++) {
        DatJulian2Datetime(&dt[i], 2305814.0 + (i * 2.9) + (i % 86400) / 86400.0);
        dt[i].hundredths = 0;
        memset(&tm[i], 0, sizeof tm[i]);
        tm[i].tm_year = dt[i].year - 1900;
        tm[i].tm_mon = dt[i].month - 1;
        tm[i].tm_mday = dt[i].day;
        tm[i].tm_hour = dt[i].hours;
        tm[i].tm_min = dt[i].minutes;
        tm[i].tm_sec = dt[i].seconds;
        tm[i].tm_wday = dt[i].weekday;
    }
}

int main(void)
{
    DATETIME *dt = (DATETIME*)malloc(COUNT * sizeof *dt), back;
    struct tm *tm = (struct tm*)malloc(COUNT * sizeof *tm);
    char (*datText)[TEXT_SIZE] = (char (*)[24])malloc(COUNT * sizeof *datText);
    char (*cText)[TEXT_SIZE] = (char (*)[24])malloc(COUNT * sizeof *cText);
    double t0, tDatFmt, tCFmt, tDatScan, tCScan;
    long sink = 0;
    int i, y, mo, d, h, mi, s;

    if (!dt || !tm || !datText || !cText)
        return 1;
    makeRecords(dt, tm, COUNT);

    t0 = now();
    for (i = 0; i < COUNT; i++)
        DatSprintf(datText[i], TEXT_SIZE - 1, DAT_TMPL, &dt[i]);
    tDatFmt = now() - t0;
    t0 = now();
    for (i = 0; i < COUNT; i++)
        strftime(cText[i], TEXT_SIZE, C_FORMAT, &tm[i]);
    tCFmt = now() - t0;
    for (i = 0; i < COUNT; i++) {
        if (strcmp(datText[i], cText[i]) != 0) {
            printf("MISMATCH at %d: %s vs %s\n", i, datText[i], cText[i]);
            return 1;
        }
    }

    t0 = now();
    for (i = 0; i < COUNT; i++) {
        DatScanf(&back, DAT_TMPL, datText[i], NULL);
        sink += back.day;
    }
    tDatScan = now() - t0;
    t0 = now();
    for (i = 0; i < COUNT; i++) {
        sscanf(cText[i], C_SCAN, &y, &mo, &d, &h, &mi, &s);
        sink -= d;
    }
    tCScan = now() - t0;
    if (sink != 0) {
        printf("MISMATCH between DatScanf and sscanf\n");
        return 1;
    }

    printf("%d date-times, template %s\n", COUNT, DAT_TMPL);
    printf("format: DatSprintf %7.3f s   strftime %7.3f s   ratio %.2f (Dat time / C time)\n",
           tDatFmt, tCFmt, tDatFmt / tCFmt);
    printf("parse : DatScanf   %7.3f s   sscanf   %7.3f s   ratio %.2f (Dat time / C time)\n",
           tDatScan, tCScan, tDatScan / tCScan);
    free(dt);
    free(tm);
    free(datText);
    free(cText);
    return 0;
}
