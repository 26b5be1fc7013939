// A token bucket: `perSecond` tokens flow in, at most `burst` are kept, each taking spends some.
// The peer link holds one per link for shots and one for the lines it writes. Kept in
// thousandths of a token, so that a few milliseconds of refill are not lost to rounding.
#pragma once

#include <cstdint>

namespace QEL {

class TokenBucket {
public:
    TokenBucket(int32_t perSecond, int32_t burst)
        : perSecond(perSecond), capacity(int64_t(burst) * 1000), milli(capacity) {}

    // Takes `amount` tokens at `nowMs` when that many are there; otherwise takes none.
    bool take(uint32_t nowMs, int32_t amount = 1) {
        refill(nowMs);
        if (milli < int64_t(amount) * 1000) return false;
        milli -= int64_t(amount) * 1000;
        return true;
    }
    // Takes `amount` whatever is there: a debt the refill pays off before anything more is taken.
    void spend(uint32_t nowMs, int32_t amount) {
        refill(nowMs);
        milli -= int64_t(amount) * 1000;
    }
    bool hasAny(uint32_t nowMs) {
        refill(nowMs);
        return milli > 0;
    }

private:
    void refill(uint32_t nowMs) {
        if (started) {
            const uint32_t elapsed = nowMs - lastMs;  // the clock's wrap is harmless here
            milli += int64_t(elapsed) * perSecond;
            if (milli > capacity) milli = capacity;
        }
        started = true;
        lastMs = nowMs;
    }

    int64_t perSecond;
    int64_t capacity;
    int64_t milli;
    uint32_t lastMs = 0;
    bool started = false;
};

}  // namespace QEL
