/*
 * prf_pack.cpp - packing a profile file: every section, key and value is
 * copied, in the order of the file (buckets, then records), into a fresh
 * profile built beside the original, which then takes the original's
 * place (prf_rebuild.h).  The copy holds no free space, no old version
 * label and no section lock; section ids are given afresh.
 *
 * The copy is made through the ordinary profile calls on two handles.
 * The new file stays marked "in update" until the copy is complete, so a
 * process killed while packing leaves the original untouched and a new
 * file that nothing will open.
 *
 * An old profile whose checksums are wrong is converted the same way,
 * reading it without checksums (PrfFalConvert20Xto202); open does that by
 * itself when it meets such a file.
 */
#include <algorithm>
#include <string>
#include <vector>
#include "frame/boundary.h"
#include "profile/prffal.h"
#include "profile/prf_copy.h"

namespace orin::prf {

namespace {

constexpr ULONG kChunkSize = PRFF_PIECE_SIZE;     // bytes copied per call
constexpr USHORT kPercentAll = 100;

class Packer {
public:
    Packer(HPRF source, HPRF target, PFNPRFPACKCANCEL cancel, USHORT *percent)
        : src_(source), dst_(target), cancel_(cancel), percent_(percent), chunk_(kChunkSize)
    {
    }

    USHORT copyAll()
    {
        std::vector<std::string> sections;
        USHORT rc = listNames(src_, NULL, sections);
        // The list comes bucket by bucket; progress moves at each change.
        for (size_t i = 0; !rc && i < sections.size(); i++) {
            finishBucketsBefore(prffBucketOf(sections[i].c_str()));
            rc = copySection(sections[i].c_str());
        }
        if (!rc)
            finishBucketsBefore(PRFF_BUCKETS);
        return rc;
    }

private:
    void finishBucketsBefore(int bucket)
    {
        for (; next_ < bucket; next_++)
            if (percent_)
                *percent_ = (USHORT)((next_ + 1) * kPercentAll / PRFF_BUCKETS);
    }

    USHORT copySection(const char *section)
    {
        std::vector<std::string> keys;
        USHORT rc = listNames(src_, section, keys);
        if (!rc && keys.empty())
            rc = PrfCreateSection(dst_, section);
        for (size_t i = 0; !rc && i < keys.size(); i++)
            rc = copyValue(section, keys[i].c_str());
        return rc;
    }

    // Chunk by chunk; an empty value is one empty chunk, so it stays.
    USHORT copyValue(const char *section, const char *key)
    {
        ULONG size = 0, offset = 0;
        USHORT rc = PrfQueryProfileSize(src_, section, key, &size);
        if (rc)
            return rc;
        ULONG length = size - 1;          // the size has room for a terminating zero
        do {
            if (cancel_ && cancel_(percent_))
                return PRF_ERR_CANCELLED;
            ULONG want = std::min(kChunkSize, length - offset), got = want;
            rc = PrfQueryProfileDataOffset(src_, section, key, offset, chunk_.data(), &got);
            if (!rc && got != want)
                rc = PRF_ERR_CHECKSUM;    // the pieces end before the value does
            if (!rc)
                rc = PrfWriteProfileDataOffset(dst_, section, key, offset, chunk_.data(), got);
            if (rc)
                return rc;
            offset += got;
        } while (offset < length);
        return 0;
    }

    HPRF src_, dst_;
    PFNPRFPACKCANCEL cancel_;
    USHORT *percent_;
    std::vector<BYTE> chunk_;
    int next_ = 0;                        // first bucket not yet finished
};

USHORT pack(void *ns, const char *fileName, bool keepBackup, PFNPRFPACKCANCEL cancel,
            USHORT *percent, bool unchecked)
{
    return rebuildProfile(ns, fileName, PrfFalHandler, unchecked, keepBackup,
                          [&](HPRF source, HPRF target) {
                              return Packer(source, target, cancel, percent).copyAll();
                          });
}

}  // namespace

}  // namespace orin::prf

using orin::guardCode;

USHORT ORINAPI PrfFalPackQueryCancel(void *nameSpace, const char *fileName, BOOL keepBackup,
                                     PFNPRFPACKCANCEL cancel, USHORT *percent) noexcept
{
    return guardCode([&] {
        return orin::prf::pack(nameSpace, fileName, keepBackup != FALSE, cancel, percent, false);
    });
}

USHORT ORINAPI PrfFalPack(void *nameSpace, const char *fileName, BOOL keepBackup) noexcept
{
    return PrfFalPackQueryCancel(nameSpace, fileName, keepBackup, NULL, NULL);
}

USHORT ORINAPI PrfFalConvert20Xto202(void *nameSpace, const char *fileName) noexcept
{
    return guardCode([&] {
        return orin::prf::pack(nameSpace, fileName, false, NULL, NULL, true);
    });
}
