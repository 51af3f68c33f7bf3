// bench_crc.cpp - throughput of KnlCrc32 and KnlCrc16 over 64 KiB blocks
// next to zlib's crc32 on the same data, in the same run.
#include <cstdio>
#include <vector>
#include <zlib.h>
#include "knl.h"

namespace {

constexpr int kBlock = 65535;
constexpr int kTotalMB = 512;

double now()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)f.QuadPart;
}

}  // namespace

int main()
{
    std::vector<unsigned char> block(kBlock);
    unsigned char *buf = block.data();
    int rounds = (int)((double)kTotalMB * 1024 * 1024 / kBlock);
    volatile unsigned long sink = 0;

    for (int i = 0; i < kBlock; i++)
        buf[i] = (unsigned char)(i * 2654435761u >> 13);

    if (KnlCrc32(buf, kBlock, 0xFFFFFFFFUL) != crc32(0, buf, kBlock)) {
        printf("MISMATCH between KnlCrc32 and zlib crc32\n");
        return 1;
    }
    double t0 = now();
    for (int i = 0; i < rounds; i++) sink = sink + crc32(0, buf, kBlock);
    double tZlib = now() - t0;
    t0 = now();
    for (int i = 0; i < rounds; i++) sink = sink + KnlCrc32(buf, kBlock, 0xFFFFFFFFUL);
    double tKnl32 = now() - t0;
    t0 = now();
    for (int i = 0; i < rounds; i++) sink = sink + KnlCrc16(buf, kBlock);
    double tKnl16 = now() - t0;

    printf("%d MiB in 64 KiB blocks\n", kTotalMB);
    printf("zlib crc32 : %8.1f MiB/s\n", kTotalMB / tZlib);
    printf("KnlCrc32   : %8.1f MiB/s  (%.2fx zlib)\n", kTotalMB / tKnl32, tZlib / tKnl32);
    printf("KnlCrc16   : %8.1f MiB/s  (%.2fx zlib)\n", kTotalMB / tKnl16, tZlib / tKnl16);
    return (int)(sink & 0);
}
