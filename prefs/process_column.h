#pragma once
// The page's "Process" column and the switch under the list: where each
// row's plug-in runs when it is next loaded. The page edits its own copy of
// the choice; apply hands it to the component, reset takes it back. Main
// thread only.
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "../shell/entry.h"


class process_column {
public:
    // The choice as the component keeps it, and the advanced setting.
    void load();
    std::string text(const entry& row);

    // The switch over the selected rows.
    enum class switch_state {
        none,           // nothing selected: off and disabled
        fixed,          // only DLLs of the other architecture: on and disabled
        off, on, mixed  // what the switchable rows are
    };
    switch_state state_of(const std::vector<const entry*>& selected);
    // Chooses for the switchable of `rows`, by hand: a row moved after a
    // crash is then the user's choice like any other.
    void choose(const std::vector<const entry*>& rows, bool own);

    bool changed() const { return changed_; }
    // The choice of the plug-ins in `rows` (those of any other plug-in are
    // dropped with it) becomes the component's. A plug-in the component
    // moved after a crash while the page was open stays moved, unless the
    // user switched its row.
    void apply(const std::vector<const entry*>& rows);

private:
    bool switchable(const entry& row);
    bool chosen(const entry& row) const;
    bool moved(const entry& row) const;

    std::vector<GUID> own_;
    // Of own_, those chosen after a crash and not switched on the page since.
    std::vector<GUID> moved_;
    // The rows the user switched since the choice was loaded.
    std::vector<GUID> switched_;
    bool every_plugin_ = false;
    bool changed_ = false;
    // The architecture of each module path, read once per page content.
    std::map<std::string, std::uint16_t> foreign_;
};
