#include "open_records.h"

#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "../Helpers/critical_section.h"
#include "../Helpers/never_destroyed.h"
#include "vst.h"

namespace {

// Never held while plug-in code runs: a plug-in that waits in effClose for
// its own thread, while that thread calls back, must not wait for us.
critical_section& records_lock() {
    static never_destroyed<critical_section> lock;
    return lock.get();
}

std::vector<std::pair<const AEffect*, vst*>>& records() {
    static never_destroyed<std::vector<std::pair<const AEffect*, vst*>>> list;
    return list.get();
}

// The holds this thread has, innermost last: a callback nested in a call
// that a callback made (idle) holds its vst twice, and a close or an editor
// close on this very thread must not wait for its own callbacks. Deeper
// nesting than this is a plug-in going round in circles: such a callback
// is answered as for no instance. Plain data, so a plug-in thread that
// ends runs no code of ours.
constexpr int k_deepest_nesting = 8;
thread_local vst* t_holds[k_deepest_nesting];
thread_local int t_depth = 0;

int holds_of_this_thread(const vst& owner) {
    return static_cast<int>(std::count(t_holds, t_holds + t_depth, &owner));
}

// Callbacks holding an instance only answer, hand a resize to the window or
// ask the plug-in for idle: short. The deadline is for a hold that a fault
// abandoned, which nothing would ever give back.
void wait_for_other_threads(vst& owner) {
    const DWORD start = GetTickCount();
    for (int spins = 0; owner.callbacks_in_flight.load() > holds_of_this_thread(owner); ++spins) {
        if (GetTickCount() - start > 10000) return;
        Sleep(spins < 100 ? 0 : 1);
    }
}

}  // namespace

void open_record(AEffect* record, vst& owner) {
    critical_section_scope guard(records_lock());
    records().emplace_back(record, &owner);
}

void close_record(const AEffect* record, vst& owner) {
    {
        critical_section_scope guard(records_lock());
        auto& list = records();
        list.erase(std::remove(list.begin(), list.end(), std::make_pair(record, &owner)), list.end());
    }
    wait_for_other_threads(owner);
}

callback_hold::callback_hold(const AEffect* record) {
    if (!record || t_depth == k_deepest_nesting) return;
    critical_section_scope guard(records_lock());
    for (const auto& [open, owner] : records()) {
        if (open != record) continue;
        owner_ = owner;
        owner_->callbacks_in_flight.fetch_add(1);
        t_holds[t_depth++] = owner_;
        return;
    }
}

callback_hold::~callback_hold() {
    if (!owner_) return;
    --t_depth;
    owner_->callbacks_in_flight.fetch_sub(1);
}
