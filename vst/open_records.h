#pragma once
// The records of open plug-in instances, for the host callback. A plug-in
// calls back with whatever record pointer it likes, from any thread, also
// after it was closed (its own threads run on), so the callback believes
// nothing the record says about us: it finds the owning vst here, by the
// record's address, or answers as for no instance.
#include <cstdint>

class vst;
struct AEffect;

// Validation: the record has passed its checks and belongs to `owner`.
void open_record(AEffect* record, vst& owner);
// Before effClose, and when a vst goes away without one: no later callback
// finds `owner` through `record`, and none of another thread still uses it
// when this returns.
void close_record(const AEffect* record, vst& owner);

// A callback's hold on the vst of its record, for the callback's duration:
// the vst is not closed meanwhile. Empty for a record that is not one of
// ours, or no longer open.
class callback_hold {
public:
    explicit callback_hold(const AEffect* record);
    ~callback_hold();
    callback_hold(const callback_hold&) = delete;
    callback_hold& operator=(const callback_hold&) = delete;

    vst* owner() const { return owner_; }

private:
    vst* owner_ = nullptr;
};
