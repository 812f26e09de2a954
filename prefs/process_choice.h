#pragma once
// The plug-ins the user wants in a process of their own, by slot identifier:
// a variable of the component's configuration, stored as an identifier set
// (shell/identifier_set_format.h). Every other plug-in of this process's
// architecture runs in the player's process. Any thread may ask while the
// main thread changes it.
//
// A second record keeps which of them were moved there after a crash in the
// player's process rather than chosen by hand, so that the user can tell
// the two apart; any choice by hand takes that mark away.
#include <windows.h>

#include <mutex>
#include <vector>

#include "../host/cfg_var.h"
#include "../shell/config_records.h"

class process_choice final : public cfg_var {
public:
    process_choice(const GUID& guid, const GUID& moved_guid) : cfg_var(guid), moved_record_(*this, moved_guid) {}

    bool own_process(const GUID& plugin) const;
    // Chosen, and chosen after a crash rather than by hand.
    bool moved_after_crash(const GUID& plugin) const;
    // By hand. False when the plug-in would be one more than the set can
    // hold.
    bool choose(const GUID& plugin, bool own);
    // Any thread, the audio thread too: only this object's lock is taken.
    // False when the plug-in is chosen already (by hand or after an earlier
    // crash) or the set is full.
    bool choose_after_crash(const GUID& plugin);
    std::vector<GUID> chosen() const;
    // Of those chosen, the ones moved after a crash.
    std::vector<GUID> moved() const;
    // Keeps the first k_max_stored_identifiers, without repeats; of
    // `moved`, only those among them.
    void assign(const std::vector<GUID>& plugins, const std::vector<GUID>& moved = {});

    // A damaged record leaves the choice as it was.
    void read_raw(stream_reader& in, std::size_t size, abort_callback& abort) override;
    void write_raw(stream_writer& out, abort_callback& abort) override;

private:
    // The marks' own record: read on its own, so that a damaged one costs
    // the marks and never the choice, nor the other way round.
    class moved_record final : public cfg_var {
    public:
        moved_record(process_choice& owner, const GUID& guid) : cfg_var(guid), owner_(owner) {}
        void read_raw(stream_reader& in, std::size_t size, abort_callback& abort) override;
        void write_raw(stream_writer& out, abort_callback& abort) override;

    private:
        process_choice& owner_;
    };

    bool chosen_locked(const config_identifier& id) const;

    mutable std::mutex lock_;
    std::vector<config_identifier> plugins_;
    // May name plug-ins not (or no longer) chosen, as the two records are
    // read in either order: only those chosen count, and only they are
    // stored.
    std::vector<config_identifier> moved_;
    moved_record moved_record_;
};

process_choice& own_process_choice();
