/*
 * prf_repair.cpp - rebuilding a damaged profile file from the blocks it
 * still holds.
 *
 * Nothing of the damaged file's structure is trusted: not its headers,
 * not its bucket table, not its free lists.  The file is read from its
 * first byte through a 4096-byte window, looking for block headers (type
 * 'U' or 'F', then 0xAA 0x55 0x00).  A header is believed when the size it
 * claims ends exactly at the end of the file or at another such header;
 * then the scan jumps over the block, else it moves on by one byte.  Of
 * the used blocks:
 *   - a section table whose checksum is right gives the name of each of
 *     its sections by section id;
 *   - a key table whose checksum is right gives the name of its section;
 *   - a value piece is noted (where its data starts, its used length) in
 *     a scratch file of 12-byte entries.
 * Section names are found through an index file keyed by section id.
 * Then a new profile is built under the "$$$" name: every section named,
 * then every piece whose header and key name checksums are right, written
 * at its place in its value.  Pieces that were lost leave zeros in their
 * value; keys whose every piece was lost, and pieces of sections whose
 * name was lost, are gone.  The new file takes the damaged one's place,
 * which is kept under the "BAK" name (prf_rebuild.h).
 */
#include <string.h>
#include <algorithm>
#include <string>
#include <vector>
#include "frame/boundary.h"
#include "frame/scope.h"
#include "profile/prffal.h"
#include "profile/prf_rebuild.h"
#include "ixd.h"

namespace orin::prf {

namespace {

constexpr ULONG kWindowSize = 4096;
constexpr ULONG kMaxSectionName = 512;
constexpr ULONG kValueEntrySize = 12;       // data position u64, used length u32
constexpr USHORT kIndexKeyLength = 4;       // section id, most significant byte first
constexpr USHORT kStoredKeyLength = kIndexKeyLength + 4;   // and the record number
constexpr ULONG kTickEvery = 10;
constexpr USHORT kPercentAll = 100;

enum Phase : USHORT { kStarting = 1, kScanning = 2, kRebuilding = 3 };
enum Code : USHORT {
    kCodeStart = 100, kCodeEvent = 101, kCodeScanStep = 102, kCodeSectionStep = 103,
    kCodeValueStep = 104, kCodeScanTick = 105, kCodeRebuildTick = 106
};

// ---- The damaged file ----------------------------------------------------------

// Reads the damaged file anywhere; small reads are served from a window.
class DamagedFile {
public:
    ~DamagedFile()
    {
        if (f_)
            VbfClose(f_);
    }

    USHORT open(void *ns, const char *name)
    {
        ULONG action;
        USHORT rc = VbfOpen(ns, name, &f_, &action, 0, VBF_ATTR_NORMAL, VBF_OPEN_EXISTING,
                            VBF_MODE_READ | VBF_SHARE_DENY_WRITE, NULL);
        if (rc) {
            f_ = NULL;
            return rc;
        }
        return VbfQueryLength(f_, &length_);
    }

    void close()
    {
        if (f_)
            VbfClose(f_);
        f_ = NULL;
    }

    ULONG length() const { return length_; }

    // Copies n bytes at pos; false when they are not all in the file or
    // cannot be read.
    bool read(ULONG pos, void *out, ULONG n)
    {
        if (pos > length_ || n > length_ - pos)
            return false;
        if (pos >= base_ && pos + n <= base_ + filled_) {
            memcpy(out, window_ + (pos - base_), n);
            return true;
        }
        if (n > kWindowSize)
            return readDirect(pos, out, n);
        if (!fill(pos) || n > filled_)
            return false;
        memcpy(out, window_, n);
        return true;
    }

private:
    bool fill(ULONG pos)
    {
        filled_ = 0;
        base_ = pos;
        ULONG got = 0;
        if (!readDirect(pos, window_, std::min(kWindowSize, length_ - pos), &got))
            return false;
        filled_ = got;
        return true;
    }

    bool readDirect(ULONG pos, void *out, ULONG n, ULONG *got = nullptr)
    {
        ULONG at = 0, done = 0;
        if (VbfChgFilePtr(f_, (LONG)pos, VBF_FILE_BEGIN, &at) != 0 || at != pos
            || VbfRead(f_, out, n, &done) != 0)
            return false;
        if (got)
            *got = done;
        return done == n;
    }

    HVBF f_ = NULL;
    ULONG length_ = 0;
    ULONG base_ = 0, filled_ = 0;
    BYTE window_[kWindowSize];
};

// ---- Scratch files ---------------------------------------------------------------

// A scratch file name from the temporary-file service, else the profile's
// name with `ext`; the file is deleted when the name goes.
class ScratchName {
public:
    ScratchName(void *ns, const char *fileName, const char *ext) : ns_(ns)
    {
        KNLHFILE h;
        if (KnlNamCreateTempFile(ns, NULL, 0, &h, name_, sizeof name_) == 0) {
            KnlNamClose(ns, h);
        } else if (strlen(fileName) < sizeof name_) {
            strcpy(name_, fileName);
            if (KnlNamSetExt(ns, name_, ext) != 0)
                *name_ = 0;
        }
    }
    ~ScratchName()
    {
        if (*name_)
            KnlNamDelete(ns_, name_);
    }
    ScratchName(const ScratchName &) = delete;
    ScratchName &operator=(const ScratchName &) = delete;

    const char *get() const { return name_; }

private:
    void *ns_;
    char name_[KNLNAM_MAXPATH] = "";
};

// Where a value piece lies: the file position of its block's data and the
// block's used length.
struct ValueEntry {
    ULONGLONG dataPos;
    ULONG used;

    void encode(BYTE *out) const
    {
        for (int i = 0; i < 8; i++)
            out[i] = (BYTE)(dataPos >> (8 * i));
        for (int i = 0; i < 4; i++)
            out[8 + i] = (BYTE)(used >> (8 * i));
    }
    static ValueEntry decode(const BYTE *in)
    {
        ValueEntry e = {0, 0};
        for (int i = 7; i >= 0; i--)
            e.dataPos = (e.dataPos << 8) | in[i];
        for (int i = 3; i >= 0; i--)
            e.used = (e.used << 8) | in[8 + i];
        return e;
    }
};

// The value entries, appended during the scan and read back in order.
class ValueList {
public:
    ~ValueList()
    {
        if (f_)
            VbfClose(f_);
    }

    USHORT create(void *ns, const char *name)
    {
        ULONG action;
        USHORT rc = VbfOpen(ns, name, &f_, &action, 0, VBF_ATTR_NORMAL, VBF_CREATE_OR_REPLACE,
                            VBF_MODE_READWRITE | VBF_SHARE_DENY_ALL, NULL);
        if (rc)
            f_ = NULL;
        return rc;
    }

    USHORT append(const ValueEntry &e)
    {
        BYTE bytes[kValueEntrySize];
        ULONG done = 0;
        e.encode(bytes);
        USHORT rc = VbfWrite(f_, bytes, kValueEntrySize, &done);
        if (!rc && done != kValueEntrySize)
            rc = ORIN_ERR_DISK_FULL;
        if (!rc)
            count_++;
        return rc;
    }

    ULONG count() const { return count_; }

    USHORT rewind()
    {
        ULONG at;
        return VbfChgFilePtr(f_, 0, VBF_FILE_BEGIN, &at);
    }

    USHORT next(ValueEntry *e)
    {
        BYTE bytes[kValueEntrySize];
        ULONG done = 0;
        USHORT rc = VbfRead(f_, bytes, kValueEntrySize, &done);
        if (!rc && done != kValueEntrySize)
            rc = ORIN_ERR_INVALID_DATA;
        if (!rc)
            *e = ValueEntry::decode(bytes);
        return rc;
    }

private:
    HVBF f_ = NULL;
    ULONG count_ = 0;
};

// Section id -> file position of a copy of the section's name.
class SectionIndex {
public:
    ~SectionIndex()
    {
        if (ix_)
            IxdClose(ix_);
    }

    USHORT create(const char *name)
    {
        ULONG err = 0;
        ix_ = IxdCreate(name, kIndexKeyLength, 0, 0, 0, NULL, &err);
        return ix_ ? 0 : (USHORT)(err ? err : IXD_ERR_CREATE);
    }

    // The first name found for a section is the one kept.
    USHORT enter(ULONG sectionId, ULONG namePos)
    {
        BYTE key[kIndexKeyLength];
        ULONG err = 0, known;
        if (find(sectionId, &known))
            return 0;
        encodeKey(sectionId, key);
        if (IxdEnter(ix_, key, namePos, &err) == 0 || err == IXD_ERR_DUPLICATE)
            return 0;
        return (USHORT)err;
    }

    // Steps through the entries in section-id order.
    bool first(ULONG *sectionId, ULONG *namePos) { return step(true, sectionId, namePos); }
    bool next(ULONG *sectionId, ULONG *namePos) { return step(false, sectionId, namePos); }

    // The position of a name of the section, if one was found.
    bool find(ULONG sectionId, ULONG *namePos)
    {
        BYTE key[kIndexKeyLength], found[kStoredKeyLength] = {0};
        ULONG err = 0;
        encodeKey(sectionId, key);
        return IxdSearch(ix_, key, found, namePos, &err) == 0
            && memcmp(found, key, kIndexKeyLength) == 0;
    }

private:
    static void encodeKey(ULONG id, BYTE *key)
    {
        for (int i = 0; i < kIndexKeyLength; i++)
            key[i] = (BYTE)(id >> (8 * (kIndexKeyLength - 1 - i)));
    }

    bool step(bool fromStart, ULONG *sectionId, ULONG *namePos)
    {
        BYTE key[kStoredKeyLength] = {0};
        ULONG err = 0;
        USHORT rc = fromStart ? IxdFirst(ix_, key, namePos, &err) : IxdNext(ix_, key, namePos, &err);
        if (rc != 0)
            return false;
        *sectionId = 0;
        for (int i = 0; i < kIndexKeyLength; i++)
            *sectionId = (*sectionId << 8) | key[i];
        return true;
    }

    PIX ix_ = NULL;
};

// ---- Progress ------------------------------------------------------------------------

class Progress {
public:
    Progress(PFNPRFREPAIRCALLBACK callback, PRFREPAIRPROGRESS *record)
        : callback_(callback), rec_(record ? record : &own_)
    {
        memset(rec_, 0, sizeof *rec_);
    }

    bool start()
    {
        rec_->phase = kStarting;
        rec_->startCode = kCodeStart;
        rec_->eventCode = kCodeEvent;
        rec_->stepCode = kCodeScanStep;
        rec_->tickCode = kCodeScanTick;
        bool go = report();
        rec_->eventCode = rec_->stepCode = rec_->tickCode = 0;
        rec_->phase = kScanning;
        return go;
    }

    bool scanned(bool usable, ULONG pos, ULONG length)
    {
        rec_->total++;
        if (!usable)
            rec_->count++;
        rec_->percent = percentOf(pos, length);
        rec_->stepCode = rec_->total == 1 ? kCodeScanStep : 0;
        rec_->tickCode = rec_->total % kTickEvery == 0 ? kCodeScanTick : 0;
        return report();
    }

    void beginRebuild(ULONG items)
    {
        rec_->phase = kRebuilding;
        rec_->count = 0;
        rec_->total = items;
        rec_->percent = 0;
        firstSection_ = firstValue_ = true;
    }

    bool rebuilt(bool isValue)
    {
        bool &first = isValue ? firstValue_ : firstSection_;
        rec_->count++;
        rec_->percent = percentOf(rec_->count, rec_->total);
        rec_->stepCode = first ? (isValue ? kCodeValueStep : kCodeSectionStep) : 0;
        rec_->tickCode = rec_->count % kTickEvery == 0 ? kCodeRebuildTick : 0;
        first = false;
        return report();
    }

    ULONG blocksSeen() const { return rec_->total; }

private:
    static USHORT percentOf(ULONGLONG part, ULONGLONG whole)
    {
        return whole ? (USHORT)(part * kPercentAll / whole) : kPercentAll;
    }

    bool report() { return !callback_ || callback_(rec_, rec_->count / 10) == 0; }

    PFNPRFREPAIRCALLBACK callback_;
    PRFREPAIRPROGRESS own_;
    PRFREPAIRPROGRESS *rec_;
    bool firstSection_ = true, firstValue_ = true;
};

// ---- Scan ------------------------------------------------------------------------------

class Repair {
public:
    Repair(void *ns, const char *fileName, Progress &progress)
        : ns_(ns), fileName_(fileName), progress_(progress),
          valuesName_(ns, fileName, "VAL"), indexName_(ns, fileName, "IX")
    {
    }

    USHORT run()
    {
        USHORT rc = file_.open(ns_, fileName_);
        if (rc)
            return rc;
        if (!*valuesName_.get() || !*indexName_.get())
            return ORIN_ERR_INVALID_NAME;
        if ((rc = values_.create(ns_, valuesName_.get())) != 0
            || (rc = sections_.create(indexName_.get())) != 0)
            return rc;
        if (!progress_.start())
            return PRF_ERR_CANCELLED;
        if ((rc = scan()) != 0)
            return rc;
        if (progress_.blocksSeen() == 0)
            return PRF_ERR_NOBLOCKS;
        RebuildFiles files(ns_, fileName_);
        if ((rc = files.prepare()) != 0 || (rc = rebuild(files.builtName())) != 0)
            return rc;
        file_.close();
        return files.install(true);
    }

private:
    // A header that can start a block: signed, and claiming room for itself.
    bool headerAt(ULONG pos, FALBLOCKHEADER *b)
    {
        return file_.read(pos, b, sizeof *b) && falHeaderSigned(b)
            && b->totalSize >= sizeof *b;
    }

    bool blockAt(ULONG pos, FALBLOCKHEADER *b)
    {
        FALBLOCKHEADER next;
        if (!headerAt(pos, b))
            return false;
        ULONGLONG end = (ULONGLONG)pos + b->totalSize;
        return end == file_.length() || (end < file_.length() && headerAt((ULONG)end, &next));
    }

    USHORT scan()
    {
        ULONG pos = 0;
        FALBLOCKHEADER b;
        while ((ULONGLONG)pos + sizeof b <= file_.length()) {
            if (!blockAt(pos, &b)) {
                pos++;
                continue;
            }
            bool usable = true;
            if (b.type == FAL_TYPE_USED) {
                USHORT rc = takeUsedBlock(pos + sizeof b, b, &usable);
                if (rc)
                    return rc;
            }
            pos += b.totalSize;
            if (!progress_.scanned(usable, pos, file_.length()))
                return PRF_ERR_CANCELLED;
        }
        return 0;
    }

    USHORT takeUsedBlock(ULONG dataPos, const FALBLOCKHEADER &b, bool *usable)
    {
        char magic[PRFF_MAGIC_SIZE];
        *usable = false;
        if (b.usedLength > b.totalSize - sizeof b || b.usedLength < PRFF_MAGIC_SIZE
            || !file_.read(dataPos, magic, PRFF_MAGIC_SIZE))
            return 0;
        if (memcmp(magic, PRFF_SEC_MAGIC, PRFF_MAGIC_SIZE) == 0)
            return takeSectionTable(dataPos, b.usedLength, usable);
        if (memcmp(magic, PRFF_KEY_MAGIC, PRFF_MAGIC_SIZE) == 0)
            return takeKeyTable(dataPos, b.usedLength, usable);
        if (memcmp(magic, PRFF_VAL_MAGIC, PRFF_MAGIC_SIZE) == 0 && b.usedLength >= sizeof(PRFFPIECE)) {
            *usable = true;
            return values_.append({dataPos, b.usedLength});
        }
        return 0;
    }

    bool readTable(ULONG dataPos, ULONG used, ULONG minimum)
    {
        if (used < minimum)
            return false;
        table_.resize(used);
        return file_.read(dataPos, table_.data(), used) && prffTableSound(table_.data(), used);
    }

    USHORT takeSectionTable(ULONG dataPos, ULONG used, bool *usable)
    {
        if (!readTable(dataPos, used, sizeof(PRFFSECHEAD)))
            return 0;
        PRFFTABLE t = {TRUE, 0, 0, table_.data(), used, used};
        ULONG pos = sizeof(PRFFSECHEAD);
        PRFFSECREC *rec;
        *usable = true;
        while (prffNextSection(&t, &pos, &rec) == 0 && rec) {
            ULONG namePos = dataPos + (ULONG)((BYTE *)(rec + 1) - table_.data());
            USHORT rc = sections_.enter(rec->sectionId, namePos);
            if (rc)
                return rc;
        }
        return 0;
    }

    USHORT takeKeyTable(ULONG dataPos, ULONG used, bool *usable)
    {
        if (!readTable(dataPos, used, sizeof(PRFFKEYHEAD) + 2))
            return 0;
        const PRFFKEYHEAD *head = (const PRFFKEYHEAD *)table_.data();
        const BYTE *name = table_.data() + sizeof *head;
        if (head->headerLength < sizeof *head + 2 || head->headerLength > used
            || memchr(name, 0, head->headerLength - sizeof *head) != table_.data() + head->headerLength - 1)
            return 0;
        *usable = true;
        return sections_.enter(head->sectionId, dataPos + sizeof *head);
    }

    // ---- Rebuild ----------------------------------------------------------------

    // The NUL-terminated name at pos, if it ends within kMaxSectionName.
    bool nameAt(ULONG pos, std::string &name)
    {
        char buf[kMaxSectionName + 1];
        ULONG n = std::min<ULONG>(sizeof buf, file_.length() - std::min(pos, file_.length()));
        if (!file_.read(pos, buf, n))
            return false;
        const char *nul = (const char *)memchr(buf, 0, n);
        if (!nul || nul == buf)
            return false;
        name.assign(buf, (size_t)(nul - buf));
        return true;
    }

    // Errors of the new profile that only concern one item, which is
    // then left out; anything else (a full disk, say) stops the rebuild.
    static bool itemOnly(USHORT rc)
    {
        return rc == PRF_ERR_EXISTS || rc == ORIN_ERR_INVALID_NAME;
    }

    USHORT rebuildSections(HPRF dst)
    {
        ULONG id, pos;
        std::string name;
        for (bool more = sections_.first(&id, &pos); more; more = sections_.next(&id, &pos)) {
            if (nameAt(pos, name)) {
                USHORT rc = PrfCreateSection(dst, name.c_str());
                if (rc && !itemOnly(rc))
                    return rc;
            }
            if (!progress_.rebuilt(false))
                return PRF_ERR_CANCELLED;
        }
        return 0;
    }

    // The section and key names and the data of a sound piece.
    bool readPiece(const ValueEntry &e, std::string &section, std::string &key)
    {
        PRFFPIECE p;
        if (e.dataPos > file_.length() || !file_.read((ULONG)e.dataPos, &p, sizeof p)
            || memcmp(p.magic, PRFF_VAL_MAGIC, PRFF_MAGIC_SIZE) != 0
            || prffPieceChecksum(&p) != p.checksum || p.headerLength < sizeof p + 2
            || p.headerLength > e.used || e.used - p.headerLength > PRFF_PIECE_SIZE)
            return false;
        ULONG nameLen = p.headerLength - sizeof p;
        piece_.resize(e.used);
        if (!file_.read((ULONG)e.dataPos, piece_.data(), e.used))
            return false;
        const BYTE *name = piece_.data() + sizeof p;
        if (memchr(name, 0, nameLen) != name + nameLen - 1
            || prffChecksum(name, nameLen) != p.nameChecksum)
            return false;
        key.assign((const char *)name, nameLen - 1);
        if (p.sectionId != cachedId_ || !cachedValid_) {
            ULONG pos;
            cachedValid_ = sections_.find(p.sectionId, &pos) && nameAt(pos, cachedName_);
            cachedId_ = p.sectionId;
        }
        section = cachedName_;
        pieceIndex_ = p.pieceIndex;
        dataOffset_ = p.headerLength;
        return cachedValid_;
    }

    USHORT rebuildValues(HPRF dst)
    {
        ValueEntry e;
        std::string section, key;
        USHORT rc = values_.rewind();
        for (ULONG i = 0; !rc && i < values_.count(); i++) {
            if ((rc = values_.next(&e)) != 0)
                return rc;
            if (readPiece(e, section, key)) {
                rc = PrfWriteProfileDataOffset(dst, section.c_str(), key.c_str(),
                                               (ULONG)pieceIndex_ << PRFF_PIECE_SHIFT,
                                               piece_.data() + dataOffset_, e.used - dataOffset_);
                if (itemOnly(rc))
                    rc = 0;
            }
            if (!rc && !progress_.rebuilt(true))
                rc = PRF_ERR_CANCELLED;
        }
        return rc;
    }

    USHORT rebuild(const char *builtName)
    {
        HPRF dst = NULL;
        PRFFALOPEN rec = {ns_, builtName, FAL_FIRST_FIT, 0, NULL};
        USHORT rc = PrfOpenHandler(PrfFalHandler, &rec, &dst);
        if (rc)
            return rc;
        progress_.beginRebuild(sectionCount() + values_.count());
        rc = PrfFalSetCorrupt(dst, TRUE);
        if (!rc)
            rc = rebuildSections(dst);
        if (!rc)
            rc = rebuildValues(dst);
        if (!rc)
            rc = PrfFalSetCorrupt(dst, FALSE);
        USHORT closed = PrfCloseProfile(dst);
        return rc ? rc : closed;
    }

    ULONG sectionCount()
    {
        ULONG n = 0, id, pos;
        for (bool more = sections_.first(&id, &pos); more; more = sections_.next(&id, &pos))
            n++;
        return n;
    }

    void *ns_;
    const char *fileName_;
    Progress &progress_;
    DamagedFile file_;
    ScratchName valuesName_, indexName_;
    ValueList values_;
    SectionIndex sections_;
    std::vector<BYTE> table_, piece_;
    std::string cachedName_;
    ULONG cachedId_ = 0;
    bool cachedValid_ = false;
    USHORT pieceIndex_ = 0;
    ULONG dataOffset_ = 0;
};

}  // namespace

}  // namespace orin::prf

USHORT ORINAPI PrfFalRepairQueryCancel(void *nameSpace, const char *fileName,
                                       PFNPRFREPAIRCALLBACK callback,
                                       PRFREPAIRPROGRESS *progress) noexcept
{
    return orin::guardCode([&]() -> USHORT {
        if (!fileName || !*fileName)
            return ORIN_ERR_INVALID_NAME;
        orin::prf::Progress p(callback, progress);
        return orin::prf::Repair(nameSpace, fileName, p).run();
    });
}

USHORT ORINAPI PrfFalRepair(void *nameSpace, const char *fileName) noexcept
{
    return PrfFalRepairQueryCancel(nameSpace, fileName, NULL, NULL);
}
