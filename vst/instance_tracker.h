#pragma once
// Keeps every live object of T in one set ordered by address. The object
// joins the set only once it is completely built and leaves it before its
// destruction starts, so a walk under the instance lock never meets a half
// object; both changes take that lock.
#include <set>

#include "instance_lock.h"

template <class T>
class instanceTrackerV2 {
public:
    // Walk only while holding instance_lock().
    static const std::set<T*>& live_set() { return set(); }

protected:
    instanceTrackerV2() = default;
    ~instanceTrackerV2() = default;
    instanceTrackerV2(const instanceTrackerV2&) = delete;
    instanceTrackerV2& operator=(const instanceTrackerV2&) = delete;

    // The last step of T's constructor.
    void join_live_set() {
        critical_section_scope guard(instance_lock());
        set().insert(static_cast<T*>(this));
    }
    // The first step of T's destructor.
    void leave_live_set() {
        critical_section_scope guard(instance_lock());
        set().erase(static_cast<T*>(this));
    }

private:
    static std::set<T*>& set() {
        static std::set<T*> s;
        return s;
    }
};
