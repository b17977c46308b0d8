#pragma once
// Frames run back to back, so a problem that lasts would be told hundreds of times
// a second. A latch lets it be told when it starts, and again only once it has gone
// away and come back, or given way to another.

#include <string>

class ProblemLatch {
public:
    // True when `sKey` differs from the problem told last.
    bool IsNew(const std::string& sKey) {
        if (sKey == sTold) return false;
        sTold = sKey;
        return true;
    }
    void Clear() { sTold.clear(); }

private:
    std::string sTold;
};
