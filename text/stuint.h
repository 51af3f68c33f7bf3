/*
 * stuint.h - the match scanner's cursor: the record behind a STUMATCH
 * handle, and a class that the library's own parsers (the date scanner)
 * use directly on the stack, without a handle.
 *
 * A cursor reads zero-terminated text: the caller's buffer in place, its
 * own copy of a text, or a file through a window of kWindow bytes with one
 * spare byte behind it that always holds a zero, so the window reads like
 * a string (stu_match.cpp tells how the window moves).  The primitives
 * below are what every scanner operation is built on; the ones for text in
 * memory are inline, a file's window is handled out of line.
 */
#ifndef ORIN_TEXT_STUINT_H
#define ORIN_TEXT_STUINT_H

#include <cstddef>
#include <memory>
#include "frame/knl_dbcs.h"
#include "frame/knlint.h"
#include "knlnam.h"
#include "stu.h"

namespace orin::stu {

inline constexpr std::size_t kWindow = 256;      // bytes of a file cursor's window
inline constexpr ULONG kNoFile = 0xFFFFFFFFUL;   // file field of a text cursor
inline constexpr unsigned kDecimalBase = 10;
inline constexpr unsigned kHexBase = 16;

/* A place in the text that survives window reloads: its offset from the
 * start of the text or file. */
using Mark = std::size_t;

class Cursor {
public:
    /* Reads the caller's zero-terminated text in place. */
    explicit Cursor(const char *text) noexcept
        : buffer_(reinterpret_cast<BYTE *>(const_cast<char *>(text))), pos_(buffer_)
    {
    }
    /* Reads its own zero-terminated copy of a text. */
    explicit Cursor(std::unique_ptr<BYTE[]> copy) noexcept
        : buffer_(copy.get()), pos_(buffer_), owned_(std::move(copy))
    {
    }
    /* Reads a file through the window (kWindow + 1 bytes), once open()
     * gave it the file. */
    Cursor(std::unique_ptr<BYTE[]> window, void *ns) noexcept
        : buffer_(window.get()), pos_(buffer_), owned_(std::move(window)), ns_(ns)
    {
    }
    ~Cursor();
    Cursor(const Cursor &) = delete;
    Cursor &operator=(const Cursor &) = delete;

    /* Takes over an open file (closed with the cursor) and loads its first
     * window. */
    void attachFile(KNLHFILE file) noexcept;

    /* ---- Primitives ---- */

    /* Makes sure n bytes from the position are in memory, reloading a file
     * window when needed; answers how many are (fewer only at the end of a
     * file or for n beyond the window).  For text in memory it answers n:
     * the terminator stops every comparison. */
    std::size_t ensure(std::size_t n) noexcept { return isFile() ? ensureInFile(n) : n; }

    /* Moves the position n bytes on (they must be in memory). */
    void advance(std::size_t n) noexcept
    {
        pos_ += n;
        if (isFile())
            followWindow();
    }

    /* Value and byte length (1 or 2) of the character at the position; 0
     * and length 0 at the end of the text. */
    USHORT charAt(std::size_t &len) noexcept
    {
        ensure(1);
        BYTE lead = pos_[0];
        if (lead == 0) {
            len = 0;
            return 0;
        }
        if (orin::knl::isLeadByte(lead) && ensure(2) == 2 && pos_[1]) {
            len = 2;
            return static_cast<USHORT>(pos_[0] | (pos_[1] << 8));
        }
        len = 1;
        return pos_[0];
    }

    Mark mark() const noexcept { return static_cast<Mark>(winOffset_) + static_cast<Mark>(pos_ - buffer_); }
    void restore(Mark m) noexcept;
    /* Whether the text at the position starts with the literal of len
     * bytes (not consumed). */
    bool looksAt(const char *literal, std::size_t len, bool ignoreCase) noexcept;
    const BYTE *position() const noexcept { return pos_; }

    /* ---- Operations (the exported calls without their handle checks) ---- */

    void rewind() noexcept;
    char *ptr() const noexcept { return reinterpret_cast<char *>(pos_); }
    USHORT index() const noexcept { return static_cast<USHORT>(pos_ - buffer_); }
    bool atEnd() noexcept;
    USHORT queryChar() noexcept;
    USHORT getChar() noexcept;
    bool getStr(USHORT count, char *buf) noexcept;
    bool isAlpha() noexcept;
    bool blanks() noexcept;
    bool digitFollows(bool hex) noexcept;
    bool match(const char *literal, bool ignoreCase) noexcept;
    bool matchName(const char *name, bool ignoreCase) noexcept;
    /* Plus signs and blanks, then up to maxDigits digits of the base,
     * accumulated in 32 bits (wrapping). */
    ULONG readDigits(unsigned maxDigits, unsigned base) noexcept;
    /* Minus signs (each one negates) first, then readDigits. */
    LONG readSigned(unsigned maxDigits, unsigned base) noexcept;
    /* The forward search (stu_find.cpp). */
    bool find(const char *pattern, USHORT flags, char *buf, USHORT size, USHORT *overflow,
              const char *const *markers) noexcept;

private:
    bool isFile() const noexcept { return file_ != kNoFile; }
    std::size_t bytesInWindow() const noexcept
    {
        return static_cast<std::size_t>(buffer_ + winLen_ - pos_);
    }
    void loadWindow(ULONG offset) noexcept;
    std::size_t ensureInFile(std::size_t n) noexcept;
    void followWindow() noexcept;
    bool takeSign(char ch) noexcept;
    bool takeMinusSigns() noexcept;

    BYTE *buffer_;                  // start of the text, or of the file window
    BYTE *pos_;                     // current position inside the buffer
    ULONG file_ = kNoFile;          // kNoFile, or the open file
    ULONG winOffset_ = 0;           // file offset of buffer_[0]
    USHORT winLen_ = 0;             // valid bytes in the window (0..kWindow)
    std::unique_ptr<BYTE[]> owned_; // the copy or window the cursor frees, if any
    void *ns_ = nullptr;            // name space the file was opened in
};

}  // namespace orin::stu

/* The record behind a STUMATCH handle. */
struct _STUMATCH final : orin::stu::Cursor {
    using Cursor::Cursor;
};

#endif  // ORIN_TEXT_STUINT_H
