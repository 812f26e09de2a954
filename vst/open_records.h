#pragma once
// The records of open plug-in instances, for the host callback. A plug-in
// calls back with whatever record pointer it likes, from any thread, also
// after it was closed (its own threads run on), so the callback believes
// nothing the record says about us: it finds the owning vst here, by the
// record's address, or answers as for no instance.
#include <cstdint>

class vst;
class editor_link;
struct AEffect;

// Validation: the record has passed its checks and belongs to `owner`.
void open_record(AEffect* record, vst& owner);
// Before effClose, and when a vst goes away without one: no later callback
// finds `owner` through `record`, and none of another thread still uses it
// when this returns.
void close_record(const AEffect* record, vst& owner);

// A callback's hold on the vst of its record, for the callback's duration:
// the vst is not closed meanwhile, and an editor attached to it is not
// destroyed. Empty for a record that is not one of ours, or no longer open.
class callback_hold {
public:
    explicit callback_hold(const AEffect* record);
    ~callback_hold();
    callback_hold(const callback_hold&) = delete;
    callback_hold& operator=(const callback_hold&) = delete;

    vst* owner() const { return owner_; }
    // The editor window open for the plug-in, or null.
    editor_link* editor() const;

private:
    vst* owner_ = nullptr;
};

// Editor window, after it stopped pointing the record at itself: returns
// once no callback of another thread can still be using the window.
void wait_for_callbacks(vst& owner);
