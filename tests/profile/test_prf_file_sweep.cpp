/*
 * test_prf_file_sweep.cpp - a file kept in a profile value, written
 * through a back-end that dies or fails at a chosen point.
 *
 * The workload writes a file into a profile value in chunks of varying
 * size, seeks back to overwrite parts, and cuts it shorter, through the
 * in-profile file calls on a profile opened on the fault back-end.  After
 * a kill at write N (torn for every third N) or a failure of call N, the
 * profile is opened with the real back-end and the value must be the
 * file as it stood after some finished call - the last one finished
 * before the fault, or with the call under way done too; or the profile
 * is refused as left in an update and, repaired, holds such a value
 * (repair may bring back part of a value whose writing was cut short, so
 * then only the values before the call under way are required in full).
 */
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>
#include "faultsweep.h"
#include "faultvbf.h"
#include "prf.h"
#include "prfdisk.h"

namespace {

constexpr const char *kFile = "fsweep.prf";
constexpr const char *kSection = "files";
constexpr const char *kKey = "doc";

struct Call {
    enum Kind { kWrite, kSeek, kCut } kind;
    ULONG at;
    std::string data;
};

/* Seeks and cuts stay inside the file as it stands then. */
std::vector<Call> workload()
{
    std::vector<Call> calls;
    unsigned x = 99;
    auto next = [&] { return (x = x * 1103515245u + 12345u) >> 8; };
    size_t size = 0, pos = 0;
    for (int j = 0; j < 60; j++) {
        unsigned what = next() % 10;
        if (what == 0 && size > 0) {
            pos = next() % size;
            calls.push_back({Call::kSeek, ULONG(pos), ""});
        } else if (what == 1 && size > 1000) {
            size = 1000 + next() % (size - 1000);
            pos = size;
            calls.push_back({Call::kCut, ULONG(size), ""});
            calls.push_back({Call::kSeek, ULONG(size), ""});
        } else {
            std::string d(1 + next() % 6000, ' ');
            for (char &c : d)
                c = char('a' + next() % 26);
            pos += d.size();
            size = std::max(size, pos);
            calls.push_back({Call::kWrite, 0, d});
        }
    }
    return calls;
}

/* The file after each call, as the calls define it. */
std::vector<std::string> states(const std::vector<Call> &calls)
{
    std::vector<std::string> out{""};
    std::string f;
    size_t pos = 0;
    for (const Call &c : calls) {
        if (c.kind == Call::kSeek) {
            pos = std::min<size_t>(c.at, f.size());
        } else if (c.kind == Call::kCut) {
            if (c.at < f.size())
                f.resize(c.at);
            pos = std::min(pos, f.size());
        } else {
            if (f.size() < pos + c.data.size())
                f.resize(pos + c.data.size());
            f.replace(pos, c.data.size(), c.data);
            pos += c.data.size();
        }
        out.push_back(f);
    }
    return out;
}

struct Result {
    size_t finished = 0;     // calls finished before the fault
    bool inFlight = false;   // a call was under way when it came
    bool inCreate = false;   // it came while the profile was made
};

Result run(const std::vector<Call> &calls)
{
    DeleteFileA(kFile);
    Result r;
    HPRF p = nullptr;
    if (PrfOpenProfileOnVbf(nullptr, &p, kFile, 0, faultvbf::table()) != 0 || faultvbf::dead()) {
        if (p)
            PrfCloseProfile(p);
        r.inCreate = true;
        return r;
    }
    char name[96];
    snprintf(name, sizeof name, "@PRFHANDLE@%016llx;%s~%s", (unsigned long long)(ULONG_PTR)p,
             kSection, kKey);
    HPRFFILE f = nullptr;
    ULONG action = 0;
    if (PrfFileOpen(nullptr, name, &f, &action, 0, 0, VBF_OPEN_OR_CREATE, VBF_MODE_READWRITE) != 0) {
        PrfCloseProfile(p);
        return r;
    }
    for (const Call &c : calls) {
        bool failedBefore = faultvbf::failed();
        USHORT rc = 0;
        ULONG done = 0;
        if (c.kind == Call::kSeek)
            rc = PrfFileChgFilePtr(f, LONG(c.at), VBF_FILE_BEGIN, &done);
        else if (c.kind == Call::kCut)
            rc = PrfFileNewSize(f, c.at);
        else
            rc = PrfFileWrite(f, c.data.data(), ULONG(c.data.size()), &done);
        if (faultvbf::dead() || (rc != 0 && !failedBefore && faultvbf::failed())) {
            r.inFlight = true;
            break;   // the rest of the calls would start from an unknown place
        }
        if (rc != 0)
            break;
        r.finished++;
    }
    PrfFileClose(f);
    PrfCloseProfile(p);
    return r;
}

void check(const Result &r, const std::vector<std::string> &want, const faultvbf::Plan &plan)
{
    SCOPED_TRACE(faultsweep::describe(plan));
    HPRF h = nullptr;
    USHORT rc = PrfOpenProfile(nullptr, &h, kFile, 0);
    bool repaired = false;
    // Refused as left in an update - or with a header that is not whole,
    // when the fault tore a write or hit while the file was being made:
    // repair brings it back.
    if (rc == PRF_ERR_INUPDATE || (rc == PRF_ERR_CHECKSUM && (r.inCreate || plan.tear))) {
        USHORT fixed = PrfFalRepair(nullptr, kFile);
        if (fixed == PRF_ERR_NOBLOCKS && want[r.finished].empty())
            return;   // nothing of the file had reached it
        ASSERT_EQ(fixed, 0) << "open gave " << rc;
        rc = PrfOpenProfile(nullptr, &h, kFile, 0);
        repaired = true;
    }
    ASSERT_EQ(rc, 0);
    std::string got = prfdisk::value(h, kSection, kKey);
    EXPECT_EQ(PrfCheckConsistent(h), 0);
    PrfCloseProfile(h);
    if (got == "<missing>")
        got.clear();
    const std::string &before = want[r.finished];
    if (got == before)
        return;
    if (r.inFlight && r.finished + 1 < want.size() && got == want[r.finished + 1])
        return;
    if (repaired && r.inFlight)
        return;   // a cut-short value comes back as repair finds its pieces
    ADD_FAILURE() << "the file holds " << got.size() << " bytes; after " << r.finished
                  << " calls it had " << before.size();
}

class FileSweep : public ::testing::Test {
protected:
    void TearDown() override
    {
        faultvbf::disarm();
        DeleteFileA(kFile);
    }
    long measure(unsigned kinds)
    {
        return faultsweep::measure(kinds, [&] { run(calls); });
    }
    void sweep(const std::vector<faultvbf::Plan> &plans)
    {
        faultsweep::sweep(plans, [&] { return run(calls); },
                          [&](const Result &r, const faultvbf::Plan &plan) { check(r, want, plan); });
    }
    std::vector<Call> calls = workload();
    std::vector<std::string> want = states(calls);
};

TEST_F(FileSweep, AKillAtAnyWriteLeavesTheFileOfAFinishedCall)
{
    long total = measure(0);
    ASSERT_GT(total, 200);
    sweep(faultsweep::killPlans(total, true));
}

TEST_F(FileSweep, AFailedCallLeavesTheFileOfAFinishedCall)
{
    long total = measure(faultsweep::kAllCalls);
    ASSERT_GT(total, 200);
    sweep(faultsweep::failurePlans(total));
}

}  // namespace
