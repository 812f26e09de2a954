#include "removal_warning.h"

#include <cstring>

namespace {

bool same_identifier(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::string positions_text(const std::vector<std::size_t>& positions) {
    std::string text = positions.size() == 1 ? "position " : "positions ";
    for (std::size_t i = 0; i < positions.size(); ++i) {
        if (i > 0) text += i + 1 == positions.size() ? " and " : ", ";
        text += std::to_string(positions[i]);
    }
    return text;
}

}  // namespace

std::string removal_warning(const dsp_chain_config& chain, const std::vector<const entry*>& removed,
                            const std::vector<const entry*>& kept) {
    std::string lines;
    std::vector<GUID> named;
    for (const entry* e : kept) named.push_back(e->identifier);
    for (const entry* e : removed) {
        bool seen = false;
        for (const GUID& g : named) seen = seen || same_identifier(g, e->identifier);
        if (seen) continue;
        named.push_back(e->identifier);
        std::vector<std::size_t> positions;
        for (std::size_t i = 0; i < chain.get_count(); ++i)
            if (same_identifier(chain.get_item(i).get_owner(), e->identifier)) positions.push_back(i + 1);
        if (!positions.empty())
            lines += "\"" + e->product_name + "\" is used by the DSP chain at " + positions_text(positions) + ".\n";
    }
    if (lines.empty()) return {};
    return lines + "\nAfter the player restarts, those positions no longer find their effect. Remove anyway?";
}
