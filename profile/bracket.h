/*
 * bracket.h - one call's hold on a lock that is taken with a begin
 * function and given back with an end function, as the block file
 * (falBegin/falEnd) and the profile store (prffBegin/prffEnd) do.
 *
 * The bracket begins when made; status() is the code of the begin.
 * end(rc, changed) ends it and answers what the end function answers
 * (rc, or else the first error of ending).  A bracket left without end()
 * still ends, with the code kAbandoned and as a change when it was taken
 * exclusively, so no path keeps the lock; each family chooses the code.
 */
#ifndef ORIN_PROFILE_BRACKET_H
#define ORIN_PROFILE_BRACKET_H

#include <windows.h>

namespace orin {

template <class Holder, USHORT (*Begin)(Holder, BOOL), USHORT (*End)(Holder, USHORT, BOOL),
          USHORT kAbandoned>
class [[nodiscard]] BasicBracket {
public:
    BasicBracket(Holder holder, BOOL exclusive) noexcept
        : holder_(holder), exclusive_(exclusive), status_(Begin(holder, exclusive))
    {
    }
    ~BasicBracket()
    {
        if (status_ == 0 && !ended_)
            End(holder_, kAbandoned, exclusive_);
    }
    BasicBracket(const BasicBracket &) = delete;
    BasicBracket &operator=(const BasicBracket &) = delete;

    USHORT status() const noexcept { return status_; }
    USHORT end(USHORT rc, BOOL changed) noexcept
    {
        ended_ = true;
        return End(holder_, rc, changed);
    }

private:
    Holder holder_;
    BOOL exclusive_;
    USHORT status_;
    bool ended_ = false;
};

}  // namespace orin

#endif  // ORIN_PROFILE_BRACKET_H
