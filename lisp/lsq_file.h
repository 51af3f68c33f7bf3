/*
 * lsq_file.h - ProgramFile: one file of the file-system layer (KnlNam),
 * open for reading or newly created for writing, closed when its owner
 * goes.  A file created for writing is deleted again unless the writer
 * commits it, so a failed write never leaves half a file behind.
 */
#ifndef ORIN_LISP_LSQ_FILE_H
#define ORIN_LISP_LSQ_FILE_H

#include <cstddef>
#include "knlnam.h"

namespace orin::lsp {

class ProgramFile {
public:
    ProgramFile() = default;
    ProgramFile(const ProgramFile &) = delete;
    ProgramFile &operator=(const ProgramFile &) = delete;
    ~ProgramFile();

    /* 0 or the file-system layer's code. */
    USHORT openRead(const char *name);
    USHORT create(const char *name);

    /* Reads up to count bytes; the number read (short at the end of the
     * file), or -1 when the read fails. */
    long read(void *buf, std::size_t count);
    /* True when all count bytes were written. */
    bool write(const void *buf, std::size_t count);
    /* The size of the open file, or -1. */
    long long size();
    /* Keeps a created file when its owner goes. */
    void commit() { keep_ = true; }

private:
    void *ns_ = KnlNamGetDefaultNS();
    KNLHFILE h_ = 0;
    bool open_ = false;
    bool keep_ = true;
    char name_[KNLNAM_MAXPATH] = {};
};

}  // namespace orin::lsp

#endif  // ORIN_LISP_LSQ_FILE_H
