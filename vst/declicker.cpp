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
        turn_scope serial(plugin.audio_lock);
        audio_thread_scope on_audio(plugin);
        AEffect* effect = plugin.effect;
        if (!plugin.usable() || !effect || block_count == 0) return;
        std::size_t ports = std::max<std::int32_t>({effect->numInputs, effect->numOutputs, 0});
        if (ports > static_cast<std::size_t>(k_max_plugin_ports)) return;
        // A plug-in may write the whole block size it was told into every
        // output, whatever a block holds: the buffers hold that much, then
        // the guard zone.
        const std::size_t writable = std::max<std::size_t>(k_block, plugin.block_size);
        float* input = silent_input.data();
        float* output = silent_output.data();
        std::size_t pitch = k_pitch;
        std::vector<float> wide_input, wide_output;
        if (writable > k_block) {
            pitch = writable + guard_zone_size(static_cast<std::uint32_t>(writable));
            wide_input.assign(pitch, 0.0f);
            wide_output.assign(pitch, 0.0f);
            input = wide_input.data();
            output = wide_output.data();
            arm_guard_zones(input, 1, pitch, writable);
            arm_guard_zones(output, 1, pitch, writable);
        }
        float** in = input_pointers.data();
        float** out = output_pointers.data();
        // More ports than the arrays serve, or buffers of the plug-in's own
        // size: arrays of their own.
        std::vector<float*> own_in, own_out;
        if (ports > input_pointers.size() || writable > k_block) {
            own_in.assign(std::max(ports, input_pointers.size()), input);
            own_out.assign(std::max(ports, output_pointers.size()), output);
            in = own_in.data();
            out = own_out.data();
        }
        for (std::uint32_t b = 0; b < block_count; ++b) {
            std::fill_n(input, writable, 0.0f);
            if (!plugin.process_replacing(in, static_cast<std::uint32_t>(ports), out, static_cast<std::uint32_t>(ports),
                                          static_cast<std::int32_t>(k_block)))
                return;
            if (!guard_zones_intact(input, 1, pitch, writable) || !guard_zones_intact(output, 1, pitch, writable)) {
                plugin.report_fault(k_call_process_replacing, plugin_fault{k_fault_wrote_past_buffers});
                if (input == silent_input.data()) {
                    arm_guard_zones(silent_input.data(), 1, k_pitch, k_block);
                    arm_guard_zones(silent_output.data(), 1, k_pitch, k_block);
                }
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
