#pragma once
// The plug-ins the user wants in a process of their own, by slot identifier:
// a variable of the component's configuration, stored as an identifier set
// (shell/identifier_set_format.h). Every other plug-in of this process's
// architecture runs in the player's process. Any thread may ask while the
// main thread changes it.
#include <windows.h>

#include <mutex>
#include <vector>

#include "../host/cfg_var.h"
#include "../shell/config_records.h"

class process_choice final : public cfg_var {
public:
    explicit process_choice(const GUID& guid) : cfg_var(guid) {}

    bool own_process(const GUID& plugin) const;
    // False when the plug-in would be one more than the set can hold.
    bool choose(const GUID& plugin, bool own);
    std::vector<GUID> chosen() const;
    // Keeps the first k_max_stored_identifiers, without repeats.
    void assign(const std::vector<GUID>& plugins);

    // A damaged record leaves the choice as it was.
    void read_raw(stream_reader& in, std::size_t size, abort_callback& abort) override;
    void write_raw(stream_writer& out, abort_callback& abort) override;

private:
    mutable std::mutex lock_;
    std::vector<config_identifier> plugins_;
};

process_choice& own_process_choice();
