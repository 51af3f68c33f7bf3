/*
 * vbf_owner.h - a Vbf handle owned by an object that closes it when it
 * goes, for the layers built on virtual files.
 */
#ifndef ORIN_VBF_OWNER_H
#define ORIN_VBF_OWNER_H

#include <memory>
#include <type_traits>
#include "vbf.h"

namespace orin {

struct VbfCloser {
    void operator()(HVBF h) const noexcept { VbfClose(h); }
};
using UniqueVbf = std::unique_ptr<std::remove_pointer_t<HVBF>, VbfCloser>;

}  // namespace orin

#endif /* ORIN_VBF_OWNER_H */
