/*
 * vbftable.h - the function table of a test back-end, filled from its
 * operations in one place.  The read operation serves ReadDirect too and
 * the lock operation both lock slots; an operation left null leaves its
 * slot empty (the Vbf layer then answers 50 for it).
 */
#ifndef TESTS_VBFTABLE_H
#define TESTS_VBFTABLE_H

#include <cstring>
#include "vbf.h"

namespace testvbf {

struct Ops {
    PFNVBFOPEN open;
    PFNVBFCLOSE close;
    PFNVBFCHGFILEPTR seek;
    PFNVBFREAD read;
    PFNVBFWRITE write;
    PFNVBFFLUSH flush;
    PFNVBFFILELOCKS locks;
    PFNVBFTELL tell;
    PFNVBFQUERYLENGTH length;
    PFNVBFNEWSIZE newSize;
};

inline VBFFUNCS table(const Ops &ops)
{
    VBFFUNCS t;
    std::memset(&t, 0, sizeof t);
    t.cb = sizeof t;
    t.Open = ops.open;
    t.Close = ops.close;
    t.ChgFilePtr = ops.seek;
    t.Read = ops.read;
    t.ReadDirect = ops.read;
    t.Write = ops.write;
    t.Flush = ops.flush;
    t.FileLocks = ops.locks;
    t.FileLocksEx = ops.locks;
    t.Tell = ops.tell;
    t.QueryLength = ops.length;
    t.NewSize = ops.newSize;
    return t;
}

}  // namespace testvbf

#endif
