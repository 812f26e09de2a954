#pragma once
// Keeps every live object of T in one set ordered by address. Insertion and
// removal take the instance lock, so a walk under that lock never meets a
// half-changed set.
#include <set>

#include "instance_lock.h"

template <class T>
class instanceTrackerV2 {
public:
    // Walk only while holding instance_lock().
    static const std::set<T*>& live_set() { return set(); }

protected:
    instanceTrackerV2() {
        critical_section_scope guard(instance_lock());
        set().insert(static_cast<T*>(this));
    }
    ~instanceTrackerV2() {
        critical_section_scope guard(instance_lock());
        set().erase(static_cast<T*>(this));
    }
    instanceTrackerV2(const instanceTrackerV2&) = delete;
    instanceTrackerV2& operator=(const instanceTrackerV2&) = delete;

private:
    static std::set<T*>& set() {
        static std::set<T*> s;
        return s;
    }
};
