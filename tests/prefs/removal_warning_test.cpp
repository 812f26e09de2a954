// What the page asks before removing plug-ins the player's chain uses.
#include <gtest/gtest.h>

#include "../../prefs/removal_warning.h"
#include "../../shell/identifier_text.h"

namespace {

entry plugin(const std::string& product, unsigned id) {
    entry e("C:\\fx\\" + product + ".dll");
    e.product_name = product;
    e.identifier = identifier_from_unique_id(static_cast<std::int32_t>(id));
    return e;
}

dsp_preset_impl position_of(unsigned id) {
    return dsp_preset_impl(identifier_from_unique_id(static_cast<std::int32_t>(id)), {1, 0, 0, 0});
}

TEST(RemovalWarning, NamesEveryLeavingPluginOnceWithItsPositions) {
    const entry a = plugin("A", 0xA), a_again = plugin("A copy", 0xA), b = plugin("B", 0xB), c = plugin("C", 0xC);
    dsp_chain_config_impl chain;
    for (unsigned id : {0xAu, 0xBu, 0xAu, 0xDu, 0xAu}) chain.add_item(position_of(id));
    const std::string question = "\nAfter the player restarts, those positions no longer find their effect. Remove anyway?";
    struct row {
        const char* what;
        std::vector<const entry*> removed, kept;
        std::string expected;
    } rows[] = {
        {"one plug-in at three positions", {&a}, {&b, &c},
         "\"A\" is used by the DSP chain at positions 1, 3 and 5.\n" + question},
        {"two plug-ins, in the order of the rows", {&b, &a}, {},
         "\"B\" is used by the DSP chain at position 2.\n\"A\" is used by the DSP chain at positions 1, 3 and 5.\n" +
             question},
        {"listed twice, both removed: named once", {&a, &a_again}, {},
         "\"A\" is used by the DSP chain at positions 1, 3 and 5.\n" + question},
        {"listed twice, one kept: the chain still finds it", {&a}, {&a_again}, ""},
        {"not in the chain", {&c}, {&a}, ""},
        {"nothing removed", {}, {&a, &b}, ""},
    };
    for (const row& r : rows) EXPECT_EQ(removal_warning(chain, r.removed, r.kept), r.expected) << r.what;
}

}  // namespace
