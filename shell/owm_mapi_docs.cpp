/*
 * owm_mapi_docs.cpp - the file-name list that OwmMAPISendDocuments passes
 * when its caller gives only full paths: the file part of each path,
 * joined by the same delimiter.
 *
 * The paths are split at each occurrence of the delimiter text (a DBCS
 * aware search); each file part comes from the file-name layer's split
 * into directory and file, or is the whole path when that split fails.
 * Every name is cut to 259 bytes.  The list lives in one heap block that
 * starts with room for one name and a delimiter, and after each path
 * grows to the current length plus room for one more.
 */
#include <cassert>
#include <cstdlib>
#include <cstring>
#include "knlnam.h"
#include "str.h"
#include "frame/scope.h"
#include "shell/owmint.h"

namespace orin::owm {
namespace {

constexpr size_t kNameMax = KNLNAM_MAXPATH - 1;    // bytes of one name at most

/* The heap block of the list and its fill. */
class NameList {
public:
    explicit NameList(size_t delimiterLength) noexcept
        : delimiterLength_(delimiterLength),
          capacity_(delimiterLength + KNLNAM_MAXPATH),
          text_(static_cast<char *>(std::malloc(capacity_)))
    {
        if (text_)
            text_.get()[0] = 0;
    }
    bool allocated() const noexcept { return text_ != nullptr; }

    void append(const char *text, size_t length) noexcept
    {
        // Invariant: the block always has room for one more name and a delimiter.
        size_t room = capacity_ - length_ - 1;
        assert(length <= room);
        if (length > room)
            length = room;
        memcpy(text_.get() + length_, text, length);
        length_ += length;
        text_.get()[length_] = 0;
    }

    /* Room for one more name and a delimiter; false when the block could
     * not grow, which leaves the list as it is. */
    bool makeRoom() noexcept
    {
        size_t wanted = length_ + delimiterLength_ + KNLNAM_MAXPATH + 1;
        void *grown = std::realloc(text_.get(), wanted);
        if (!grown)
            return false;
        (void)text_.release();
        text_.reset(static_cast<char *>(grown));
        capacity_ = wanted;
        return true;
    }

    char *release() noexcept { return text_.release(); }

private:
    size_t delimiterLength_;
    size_t length_ = 0;
    size_t capacity_;
    UniqueMalloc<char> text_;
};

/* Appends the file part of the path [path, path + length). */
void appendFilePart(NameList &list, const char *path, size_t length) noexcept
{
    char whole[KNLNAM_MAXPATH], dir[KNLNAM_MAXPATH], file[KNLNAM_MAXPATH];
    size_t kept = length < kNameMax ? length : kNameMax;
    memcpy(whole, path, kept);
    whole[kept] = 0;
    if (length <= kNameMax && KnlNamSplitPathInDF(KnlNamGetDefaultNS(), whole, dir, file) == 0)
        list.append(file, strlen(file));
    else
        list.append(whole, kept);
}

}  // namespace

char *fileNameList(const char *delimiter, const char *paths) noexcept
{
    size_t delimiterLength = strlen(delimiter);
    NameList list(delimiterLength);
    if (!list.allocated())
        return nullptr;
    for (const char *path = paths;;) {
        const char *end = delimiterLength ? StrStr(path, delimiter) : nullptr;
        appendFilePart(list, path, end ? static_cast<size_t>(end - path) : strlen(path));
        if (!end)
            break;
        list.append(delimiter, delimiterLength);
        if (!list.makeRoom())
            break;
        path = end + delimiterLength;
    }
    return list.release();
}

}  // namespace orin::owm
