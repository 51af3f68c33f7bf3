/*
 * orin_arc.h - what the parts of `orin arc` share (orin_arc.cpp holds the
 * commands, orin_arccheck.cpp the check): archive and document handles
 * that close themselves, opening an archive of either flavour, document
 * numbers from the command line, and index keys written as text.
 */
#ifndef ORIN_ARC_H
#define ORIN_ARC_H

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include "brc.h"

namespace orintool::arc {

/* Archives are changed in exclusive mode: nobody else changes them while
 * a command is half done, and an index whose first build fails is removed
 * again instead of being left half built. */
constexpr USHORT kExclusiveMode = 0;

struct ArchiveCloser {
    void operator()(BrcArchive *a) const noexcept { BrcClose(a); }
};
using Archive = std::unique_ptr<BrcArchive, ArchiveCloser>;

struct DocumentCloser {
    void operator()(BrdDocument *d) const noexcept { BrdCloseDocument(d); }
};
using Document = std::unique_ptr<BrdDocument, DocumentCloser>;

enum class Access { ReadOnly, Exclusive };

struct OpenArchive {
    Archive handle;
    bool archiveFlavour = false;     // opened with the "archive" calls
    BrcArchive *get() const { return handle.get(); }
};

/* Opens ARCHIVE as a plain archive and, when it says it is an "archive"
 * one (57517), with the "archive" calls. */
USHORT openArchive(const char *file, Access access, OpenArchive *out);

/* Closes the archive and reports what the close says; the exit status. */
int closeArchive(OpenArchive &archive, const char *file);

/* A document number as the command line gives it: decimal digits below
 * 65535 (the template's number); none for anything else. */
std::optional<USHORT> parseDocNumber(std::string_view text);

/* Opens document `number`; the error code. */
USHORT openDocument(BrcArchive *archive, USHORT number, bool lock, Document *out);

/* Key bytes as text: printable bytes as they are, a backslash doubled,
 * every other byte as \xHH. */
std::string printableKey(const void *key, size_t length);

/* `orin arc check ARCHIVE`; the exit status. */
int checkArchive(const char *file);

}  // namespace orintool::arc

#endif
