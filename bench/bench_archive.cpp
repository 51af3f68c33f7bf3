/*
 * bench_archive.cpp - the document archive against the bare profile and
 * index calls it is made of.
 *
 * 10,000 documents with 10 fields of 20 to 200 bytes and two open indexes
 * (one on NAME, one on DATE then NAME) go through five steps: add, read a
 * field, update an indexed field, walk an index, delete.  The same steps
 * are then done with the bare profile and Ixd calls the archive makes for
 * them - writes and reads of the document's keys, and the Ixd calls on
 * index trees kept in the same kind of in-profile file - so the ratio is
 * the cost of the archive layer itself.  Printed per step:
 * operations per second of both and the archive's cost as a ratio of the
 * bare one (aim: at most 1.5).  Last, a 16 MiB file is copied into a field
 * and out again, plain and compressed, next to CopyFileA of the same file;
 * and the process's peak working set.
 */
#include <windows.h>
#include <psapi.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include "brc.h"
#include "ixd.h"
#include "prf.h"

namespace {

constexpr int kDocs = 10000;
constexpr int kFields = 10;
constexpr int kMinValue = 20;
constexpr int kValueSpan = 181;
constexpr int kNameLength = 20;
constexpr int kDateLength = 8;
constexpr ULONG kBigFile = 16u << 20;
constexpr const char *kArchive = "bench_arc.arc";
constexpr const char *kBare = "bench_arc_bare.prf";
constexpr const char *kBigIn = "bench_arc_big.bin";
constexpr const char *kBigOut = "bench_arc_big.out";
constexpr const char *kNameIndex = "NAME,20,L";
constexpr const char *kDateIndex = "DATE,8,R;NAME,10,L";

double now()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return double(c.QuadPart) / double(f.QuadPart);
}

unsigned gSeed = 4711;
double gRawWalk = 0;   // IxdNext steps per second, for scale
unsigned nextRandom()
{
    gSeed = gSeed * 1103515245u + 12345u;
    return gSeed >> 8;
}

/* The field values of document i, the same in both runs. */
struct DocValues {
    std::string name[kFields];
    std::string value[kFields];
};

std::vector<DocValues> makeValues()
{
    std::vector<DocValues> docs(kDocs);
    for (int i = 0; i < kDocs; i++) {
        for (int f = 0; f < kFields; f++) {
            docs[i].name[f] = f == 0 ? "NAME" : f == 1 ? "DATE" : "F" + std::to_string(f);
            size_t length = f == 0 ? kNameLength : f == 1 ? kDateLength
                                                          : kMinValue + nextRandom() % kValueSpan;
            std::string v(length, ' ');
            for (char &c : v)
                c = char('a' + nextRandom() % 26);
            docs[i].value[f] = v;
        }
    }
    return docs;
}

struct Step {
    const char *what;
    int operations;
    double archive = 0;
    double bare = 0;
};

void check(USHORT rc, const char *what)
{
    if (rc != 0) {
        fprintf(stderr, "%s failed: %u\n", what, rc);
        exit(1);
    }
}

/* ---- through the archive ---- */

void runArchive(const std::vector<DocValues> &docs, std::vector<Step> &steps)
{
    DeleteFileA(kArchive);
    BrcArchive *a = nullptr;
    check(BrcCreate(nullptr, &a, kArchive, 0), "BrcCreate");
    BrcIndexEntry *byName = nullptr, *byDate = nullptr;
    check(BrcIxOpenStr(a, kNameIndex, &byName), "BrcIxOpenStr");
    check(BrcIxOpenStr(a, kDateIndex, &byDate), "BrcIxOpenStr");

    double t = now();
    for (int i = 0; i < kDocs; i++) {
        BrdDocument *d = nullptr;
        check(BrdAddDocument(a, &d, "bench", std::to_string(i).c_str(), TRUE, FALSE), "add");
        for (int f = 0; f < kFields; f++)
            check(BrdFldSet(d, docs[i].name[f].c_str(), 'T', docs[i].value[f].data(),
                            ULONG(docs[i].value[f].size()), FALSE), "BrdFldSet");
        check(BrdCloseDocument(d), "close");
    }
    steps[0].archive = now() - t;

    t = now();
    char buffer[256];
    for (int i = 0; i < kDocs; i++) {
        BrdDocument *d = nullptr;
        USHORT n = USHORT((i * 7919) % kDocs);
        check(BrdOpenDocument(a, &d, n, FALSE), "open");
        check(BrdFldGetString(d, "F5", buffer, sizeof buffer), "BrdFldGetString");
        check(BrdCloseDocument(d), "close");
    }
    steps[1].archive = now() - t;

    t = now();
    for (int i = 0; i < kDocs; i++) {
        BrdDocument *d = nullptr;
        check(BrdOpenDocument(a, &d, USHORT(i), FALSE), "open");
        std::string v = docs[(i + 1) % kDocs].value[0];
        check(BrdFldSetString(d, "NAME", v.c_str()), "BrdFldSetString");
        check(BrdCloseDocument(d), "close");
    }
    steps[2].archive = now() - t;

    t = now();
    USHORT n = 0;
    int walked = 1;
    check(BrcIxFirst(a, byDate, &n), "BrcIxFirst");
    while (BrcIxNextPrev(a, byDate, n, 1, &n) == 0)
        walked++;
    steps[3].archive = now() - t;
    if (walked != kDocs)
        fprintf(stderr, "walked %d documents of %d\n", walked, kDocs);

    t = now();
    for (int i = 0; i < kDocs; i++) {
        BrdDocument *d = nullptr;
        check(BrdOpenDocument(a, &d, USHORT(i), FALSE), "open");
        check(BrdDeleteDocument(d), "BrdDeleteDocument");
    }
    steps[4].archive = now() - t;
    check(BrcClose(a), "BrcClose");
}

/* ---- the bare calls ---- */

struct BareIndex {
    PIX ix;
    std::vector<BYTE> key;
};

std::string stamp() { return "20261206120000"; }

std::vector<BYTE> nameKey(const std::string &name)
{
    std::vector<BYTE> k(kNameLength, 0);
    memcpy(k.data(), name.data(), std::min<size_t>(name.size(), kNameLength));
    return k;
}

std::vector<BYTE> dateKey(const std::string &date, const std::string &name)
{
    std::vector<BYTE> k(kDateLength + 10, 0);
    memcpy(k.data(), date.data(), std::min<size_t>(date.size(), kDateLength));
    memcpy(k.data() + kDateLength, name.data(), std::min<size_t>(name.size(), 10));
    return k;
}

PIX openTree(HPRF p, VBFFUNCS *funcs, const char *section, USHORT keyLength)
{
    char name[128];
    snprintf(name, sizeof name, "@PRFHANDLE@%016llx;%s~Tree", (unsigned long long)(ULONG_PTR)p,
             section);
    ULONG error = 0;
    PIX ix = IxdCreate(name, keyLength, 0, 0, 0, funcs, &error);
    if (!ix) {
        fprintf(stderr, "IxdCreate failed: %lu\n", error);
        exit(1);
    }
    return ix;
}

void runBare(const std::vector<DocValues> &docs, std::vector<Step> &steps)
{
    DeleteFileA(kBare);
    HPRF p = nullptr;
    check(PrfOpenProfile(nullptr, &p, kBare, 0), "PrfOpenProfile");
    VBFFUNCS *funcs = PrfFileAllocVbfFuncStruct(nullptr);
    PIX byName = openTree(p, funcs, "Index_0", kNameLength);
    PIX byDate = openTree(p, funcs, "Index_1", kDateLength + 10);
    PRFFLDINFO info;
    PrfFldInfoInit(&info, 'T');
    ULONG error;

    double t = now();
    std::string list;
    for (int f = 0; f < kFields; f++)
        list += (f ? "," : "") + docs[0].name[f];
    for (int i = 0; i < kDocs; i++) {
        std::string s = "Doc_" + std::to_string(i);
        const char *sec = s.c_str();
        PrfWriteProfileString(p, sec, "AppSite", "bench");
        PrfWriteProfileString(p, sec, "DocID", std::to_string(i).c_str());
        PrfWriteProfileString(p, sec, "DTEntrance", stamp().c_str());
        PrfWriteProfileUShort(p, sec, "Active", 1);
        PrfWriteProfileUShort(p, sec, "ActiveOnEntrance", 1);
        PrfWriteProfileUShort(p, "BrcHeader", "NrDocs", USHORT(i + 1));
        for (int f = 0; f < kFields; f++) {
            std::string key = "Value." + docs[i].name[f];
            PrfWriteProfileData(p, sec, key.c_str(), docs[i].value[f].data(),
                                ULONG(docs[i].value[f].size()));
            PrfWriteProfileFldInfo(p, sec, ("Info." + docs[i].name[f]).c_str(), &info);
        }
        PrfWriteProfileString(p, sec, "Fields", list.c_str());
        IxdEnter(byName, nameKey(docs[i].value[0]).data(), ULONG(i), &error);
        IxdEnter(byDate, dateKey(docs[i].value[1], docs[i].value[0]).data(), ULONG(i), &error);
    }
    steps[0].bare = now() - t;

    t = now();
    char buffer[256];
    for (int i = 0; i < kDocs; i++) {
        std::string s = "Doc_" + std::to_string((i * 7919) % kDocs);
        ULONG size = sizeof buffer;
        check(PrfQueryProfileData(p, s.c_str(), "Value.F5", buffer, &size), "read");
    }
    steps[1].bare = now() - t;

    t = now();
    for (int i = 0; i < kDocs; i++) {
        std::string s = "Doc_" + std::to_string(i);
        const std::string &old = docs[i].value[0];
        const std::string &v = docs[(i + 1) % kDocs].value[0];
        PrfWriteProfileData(p, s.c_str(), "Value.NAME", v.data(), ULONG(v.size()));
        PrfWriteProfileFldInfo(p, s.c_str(), "Info.NAME", &info);
        IxdRemove(byName, nameKey(old).data(), ULONG(i), &error);
        IxdEnter(byName, nameKey(v).data(), ULONG(i), &error);
        IxdRemove(byDate, dateKey(docs[i].value[1], old).data(), ULONG(i), &error);
        IxdEnter(byDate, dateKey(docs[i].value[1], v).data(), ULONG(i), &error);
    }
    steps[2].bare = now() - t;

    // A step from a document: its key fields read, its pair sought, one
    // step taken - what the archive does, without the archive.
    t = now();
    std::vector<BYTE> key(kDateLength + 10);
    ULONG record = 0, found = 0;
    int walked = 0;
    if (IxdFirst(byDate, key.data(), &record, &error) == 0)
        do {
            walked++;
            std::string s = "Doc_" + std::to_string(record);
            char date[kDateLength + 1], name[kNameLength + 1];
            ULONG size = sizeof date;
            PrfQueryProfileDataOffset(p, s.c_str(), "Value.DATE", 0, date, &size);
            size = sizeof name;
            PrfQueryProfileDataOffset(p, s.c_str(), "Value.NAME", 0, name, &size);
            std::vector<BYTE> k = dateKey(std::string(date, kDateLength),
                                          std::string(name, kNameLength));
            IxdSearchID(byDate, k.data(), record, nullptr, &found, &error);
        } while (IxdSkipkey(byDate, 1, key.data(), &record, &error) == 0);
    steps[3].bare = now() - t;
    if (walked != kDocs)
        fprintf(stderr, "bare walk saw %d keys\n", walked);
    t = now();
    walked = 0;
    if (IxdFirst(byDate, key.data(), &record, &error) == 0)
        do
            walked++;
        while (IxdNext(byDate, key.data(), &record, &error) == 0);
    gRawWalk = kDocs / (now() - t);

    // Delete: the key fields read for both indexes, both pairs removed,
    // the document's sections destroyed.
    t = now();
    for (int i = 0; i < kDocs; i++) {
        std::string s = "Doc_" + std::to_string(i);
        char date[kDateLength + 1], name[kNameLength + 1];
        ULONG size = sizeof name;
        PrfQueryProfileDataOffset(p, s.c_str(), "Value.NAME", 0, name, &size);
        size = sizeof date;
        PrfQueryProfileDataOffset(p, s.c_str(), "Value.DATE", 0, date, &size);
        size = sizeof name;
        PrfQueryProfileDataOffset(p, s.c_str(), "Value.NAME", 0, name, &size);
        std::string v(name, kNameLength);
        IxdRemove(byName, nameKey(v).data(), ULONG(i), &error);
        IxdRemove(byDate, dateKey(std::string(date, kDateLength), v).data(), ULONG(i), &error);
        PrfDestroySection(p, (s + ".MEMOS").c_str());
        PrfDestroySection(p, (s + ".REDLINES").c_str());
        PrfDestroySection(p, s.c_str());
    }
    PrfWriteProfileUShort(p, "BrcHeader", "NrDocs", 0);
    steps[4].bare = now() - t;
    IxdClose(byName);
    IxdClose(byDate);
    free(funcs);
    check(PrfCloseProfile(p), "PrfCloseProfile");
}

/* ---- a big field ---- */

void bigField()
{
    std::vector<char> data(kBigFile);
    for (size_t i = 0; i < data.size(); i++)
        data[i] = char(i % 251 < 120 ? 'a' + i % 7 : nextRandom());
    HANDLE f = CreateFileA(kBigIn, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, data.data(), DWORD(data.size()), &written, nullptr);
    CloseHandle(f);

    DeleteFileA(kArchive);
    BrcArchive *a = nullptr;
    check(BrcCreate(nullptr, &a, kArchive, 0), "BrcCreate");
    BrdDocument *d = nullptr;
    check(BrdAddDocument(a, &d, "bench", "big", TRUE, FALSE), "add");
    double mib = kBigFile / 1048576.0;
    for (BOOL compress : {FALSE, TRUE}) {
        const char *field = compress ? "Packed" : "Plain";
        check(BrdFldSet(d, field, 'B', nullptr, 0, compress), "BrdFldSet");
        double t = now();
        check(BrdFldCopyFromDisk(d, field, kBigIn, compress), "BrdFldCopyFromDisk");
        double in = now() - t;
        t = now();
        check(BrdFldCopyToDisk(d, field, kBigOut, TRUE), "BrdFldCopyToDisk");
        double out = now() - t;
        printf("16 MiB file %-10s  in %6.3f s (%6.1f MiB/s)   out %6.3f s (%6.1f MiB/s)\n",
               compress ? "compressed" : "plain", in, mib / in, out, mib / out);
    }
    BrdCloseDocument(d);
    BrcClose(a);
    double t = now();
    CopyFileA(kBigIn, kBigOut, FALSE);
    double copy = now() - t;
    printf("peer: CopyFileA of the same file   %6.3f s (%6.1f MiB/s)\n", copy, mib / copy);
    DeleteFileA(kBigIn);
    DeleteFileA(kBigOut);
    DeleteFileA(kArchive);
}

}  // namespace

int main()
{
    std::vector<DocValues> docs = makeValues();
    std::vector<Step> steps = {{"add a document (10 fields)", kDocs},
                               {"open, read a field, close", kDocs},
                               {"update an indexed field", kDocs},
                               {"walk an index (per step)", kDocs},
                               {"delete a document", kDocs}};
    runArchive(docs, steps);
    runBare(docs, steps);
    printf("%d documents, %d fields of %d-%d bytes, two indexes\n", kDocs, kFields, kMinValue,
           kMinValue + kValueSpan - 1);
    printf("%-28s %14s %14s %8s\n", "step", "archive op/s", "bare op/s", "ratio");
    for (const Step &s : steps)
        printf("%-28s %14.0f %14.0f %8.2f\n", s.what, s.operations / s.archive,
               s.operations / s.bare, s.archive / s.bare);
    printf("(a plain IxdNext walk of the same tree: %.0f steps/s)\n", gRawWalk);
    bigField();
    PROCESS_MEMORY_COUNTERS pmc{};
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
    printf("peak working set %.1f MiB (16 MiB of it the test file's buffer)\n",
           pmc.PeakWorkingSetSize / 1048576.0);
    DeleteFileA(kBare);
    return 0;
}
