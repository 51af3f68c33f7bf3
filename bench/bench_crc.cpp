/*
 * bench_crc.c - throughput of KnlCrc32 and KnlCrc16 over 64 KiB blocks
 * next to zlib's crc32 on the same data, in the same run.
 */
#include <stdio.h>
#include <stdlib.h>
#include <zlib.h>
#include "knl.h"

#define BLOCK     65535
#define TOTAL_MB  512

static double now(void)
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)f.QuadPart;
}

int main(void)
{
    unsigned char *buf = (unsigned char*)malloc(BLOCK);
    int rounds = (int)((double)TOTAL_MB * 1024 * 1024 / BLOCK), i;
    double t0, tKnl32, tKnl16, tZlib;
    volatile unsigned long sink = 0;

    for (i = 0; i < BLOCK; i++)
        buf[i] = (unsigned char)(i * 2654435761u >> 13);

    if (KnlCrc32(buf, BLOCK, 0xFFFFFFFFUL) != crc32(0, buf, BLOCK)) {
        printf("MISMATCH between KnlCrc32 and zlib crc32\n");
        return 1;
    }
    t0 = now();
    for (i = 0; i < rounds; i++) sink = sink + crc32(0, buf, BLOCK);
    tZlib = now() - t0;
    t0 = now();
    for (i = 0; i < rounds; i++) sink = sink + KnlCrc32(buf, BLOCK, 0xFFFFFFFFUL);
    tKnl32 = now() - t0;
    t0 = now();
    for (i = 0; i < rounds; i++) sink = sink + KnlCrc16(buf, BLOCK);
    tKnl16 = now() - t0;

    printf("%d MiB in 64 KiB blocks\n", TOTAL_MB);
    printf("zlib crc32 : %8.1f MiB/s\n", TOTAL_MB / tZlib);
    printf("KnlCrc32   : %8.1f MiB/s  (%.2fx zlib)\n", TOTAL_MB / tKnl32, tZlib / tKnl32);
    printf("KnlCrc16   : %8.1f MiB/s  (%.2fx zlib)\n", TOTAL_MB / tKnl16, tZlib / tKnl16);
    free(buf);
    return (int)(sink & 0);
}
