#include "stuck_report.h"

#include <cstring>

const instance_activity* longest_call(const std::vector<instance_activity>& instances) {
    const instance_activity* longest = nullptr;
    for (const instance_activity& a : instances)
        if (!a.call.empty() && (!longest || a.call_ms > longest->call_ms)) longest = &a;
    return longest;
}

std::size_t chain_position(const dsp_chain_config& chain, const instance_activity& instance) {
    if (!instance.has_key) return 0;
    for (std::size_t i = 0; i < chain.get_count(); ++i) {
        const dsp_preset& preset = chain.get_item(i);
        std::uint32_t key = 0;
        if (preset.get_owner() != instance.identifier || preset.get_data_size() < sizeof key) continue;
        std::memcpy(&key, preset.get_data(), sizeof key);
        if (key == instance.key) return i + 1;
    }
    return 0;
}

std::string instance_name(const dsp_chain_config& chain, const instance_activity& instance) {
    if (const std::size_t position = chain_position(chain, instance))
        return "chain position " + std::to_string(position) +
               (instance.product_name.empty() ? "" : " (" + instance.product_name + ")");
    if (!instance.product_name.empty()) return "the plug-in " + instance.product_name;
    return "the plug-in " + instance.module_path;
}
