#include "declicker.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "../host/initquit.h"
#include "../prefs/advanced_settings.h"
#include "../shell/factory_list.h"
#include "guard_zone.h"
#include "opcode_names.h"
#include "vst.h"

namespace {

constexpr std::size_t k_block = 256;
// Every port shares one buffer of each kind, with a guard zone after it.
const std::size_t k_pitch = k_block + guard_zone_size(k_block);
constexpr std::size_t k_ports = 32;
// The setting's own maximum; a stored value beyond it is not believed.
constexpr std::uint64_t k_max_blocks = 1000;

class declicker : public initquit {
public:
    bool query(service_base*& out, const GUID& guid) override {
        return answer_query<declicker, initquit>(this, out, guid);
    }
    void on_init() override {
        std::uint64_t blocks = declicker_size_setting().get_value();
        block_count = static_cast<std::uint32_t>(std::min(blocks, k_max_blocks));
        silent_input.assign(k_pitch, 0.0f);
        silent_output.assign(k_pitch, 0.0f);
        arm_guard_zones(silent_input.data(), 1, k_pitch, k_block);
        arm_guard_zones(silent_output.data(), 1, k_pitch, k_block);
        input_pointers.assign(k_ports, silent_input.data());
        output_pointers.assign(k_ports, silent_output.data());
    }
    void on_quit() override {
        block_count = 0;
        silent_input = {};
        silent_output = {};
        input_pointers = {};
        output_pointers = {};
    }

    void run(vst& plugin) {
        critical_section_scope serial(plugin.audio_lock);
        audio_thread_scope on_audio(plugin);
        AEffect* effect = plugin.effect;
        if (!plugin.usable() || !effect || block_count == 0) return;
        std::size_t ports = std::max<std::int32_t>({effect->numInputs, effect->numOutputs, 0});
        if (ports > static_cast<std::size_t>(k_max_plugin_ports)) return;
        float** in = input_pointers.data();
        float** out = output_pointers.data();
        // More ports than the arrays serve: arrays of the plug-in's size.
        std::vector<float*> wide_in, wide_out;
        if (ports > input_pointers.size()) {
            wide_in.assign(ports, silent_input.data());
            wide_out.assign(ports, silent_output.data());
            in = wide_in.data();
            out = wide_out.data();
        }
        for (std::uint32_t b = 0; b < block_count; ++b) {
            std::fill_n(silent_input.begin(), k_block, 0.0f);
            if (!plugin.process_replacing(in, static_cast<std::uint32_t>(ports), out, static_cast<std::uint32_t>(ports),
                                          static_cast<std::int32_t>(k_block)))
                return;
            if (!guard_zones_intact(silent_input.data(), 1, k_pitch, k_block) ||
                !guard_zones_intact(silent_output.data(), 1, k_pitch, k_block)) {
                plugin.report_fault(k_call_process_replacing, plugin_fault{k_fault_wrote_past_buffers});
                arm_guard_zones(silent_input.data(), 1, k_pitch, k_block);
                arm_guard_zones(silent_output.data(), 1, k_pitch, k_block);
                return;
            }
        }
    }

    std::vector<float> silent_input;
    std::vector<float> silent_output;
    std::vector<float*> input_pointers;
    std::vector<float*> output_pointers;
    std::uint32_t block_count = 0;
};

registered_service<declicker> g_declicker;

}  // namespace

void declick(vst& plugin) { g_declicker.get().run(plugin); }
