/*
 * prf_worker.h - the deterministic sequence of profile writes that the
 * crash and sharing tests run in a second process and check afterwards.
 * Operation j writes one key of one section with a value that depends
 * only on the seed and j, so the checking side can rebuild every value.
 */
#ifndef PRF_WORKER_H
#define PRF_WORKER_H

#include <string>

namespace prfworker {

const int KEYS = 40;

inline std::string sectionOf(int j) { return "s" + std::to_string((j % KEYS) % 5); }
inline std::string keyOf(const std::string &tag, int j)
{
    return tag + std::to_string(j % KEYS);
}

inline std::string valueOf(unsigned seed, int j)
{
    unsigned x = seed * 2654435761u + (unsigned)j * 40503u + 1;
    size_t len = (x >> 7) % 3 == 0 ? 16000 + (x >> 3) % 30000 : 1 + (x >> 5) % 300;
    std::string v(len, '\0');
    for (size_t i = 0; i < len; i++) {
        x = x * 1103515245u + 12345u;
        v[i] = (char)('a' + (x >> 16) % 26);
    }
    return v;
}

} // namespace prfworker

#endif
