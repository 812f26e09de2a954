#include "plugin_slot.h"

#include <cstring>

#include "../../vst/plugin_memory.h"
#include "../common/arrangement_payload.h"
#include "../common/record_image.h"
#include "../common/routes.h"
#include "../common/message_text.h"

namespace bridge {

namespace {

plugin_slot* g_slot = nullptr;  // the one plug-in of this process, for its callback

std::intptr_t VSTCALL host_callback_thunk(AEffect* effect, std::int32_t opcode, std::int32_t index,
                                          std::intptr_t value, void* ptr, float opt) {
    return g_slot ? g_slot->call_host(effect, opcode, index, value, ptr, opt) : 0;
}

// Texts travel up to their NUL; the plug-in writes into a buffer as large
// as a message can carry, zeroed for every call, as the player gives it.
thread_local char t_text[k_payload_bytes];

// A record the plug-in gave us, read where a bad pointer faults the read,
// not us.
__attribute__((noinline)) void copy_image(const AEffect* e, record_image* out) { take_image(*e, *out); }

}  // namespace

plugin_slot::plugin_slot(bridge_link& link) : link_(link) { g_slot = this; }

void plugin_slot::note_fault(std::uint32_t code) {
    std::uint32_t none = 0;
    fault_code_.compare_exchange_strong(none, code);
    faulted_ = true;
}

bool plugin_slot::read_image(const AEffect* record, record_image& out) {
    plugin_fault fault;
    if (call_guarded(fault, [&] { copy_image(record, &out); })) return true;
    note_fault(fault.code);
    return false;
}

void plugin_slot::write_image(message& m) {
    std::memset(&m.record, 0, sizeof m.record);
    if (effect_ && !faulted_ && !read_image(effect_, m.record)) {
        m.status = status_faulted;
        m.fault_code = fault_code_;
    }
}

void plugin_slot::serve(lane_index, message& m) {
    m.status = status_ok;
    m.fault_code = 0;
    m.answer = 0;
    m.float_answer = 0.0f;
    m.answer_has_data = 0;
    switch (m.command) {
        case command_open_module: open_module(m); break;
        case command_call_entry: call_entry(m); break;
        case command_dispatch: dispatch(m); break;
        case command_process: process(m); break;
        case command_set_parameter: {
            AEffect* e = effect_;
            const std::int32_t index = m.index;
            const float value = m.opt;
            if (e) guarded(m, [&] { e->setParameter(e, index, value); });
            break;
        }
        case command_get_parameter: {
            AEffect* e = effect_;
            const std::int32_t index = m.index;
            float value = 0.0f;
            if (e) guarded(m, [&] { value = e->getParameter(e, index); });
            m.float_answer = value;
            break;
        }
        case command_map_audio: map_audio(m); break;
        case command_quit: quit_ = true; break;
        default: m.status = status_bad_request; break;
    }
    if (m.command != command_open_module && m.command != command_quit) write_image(m);
}

void plugin_slot::open_module(message& m) {
    if (module_) {
        m.status = status_bad_request;
        return;
    }
    const std::size_t chars = m.payload_size / sizeof(wchar_t);
    if (chars == 0 || chars > k_payload_bytes / sizeof(wchar_t)) {
        m.status = status_bad_request;
        return;
    }
    auto* path = reinterpret_cast<wchar_t*>(m.payload);
    path[chars - 1] = L'\0';
    HMODULE loaded = nullptr;
    // A DLL whose start-up code faults refused loading, as far as the player
    // can tell; the process ends with it.
    if (!guarded(m, [&] { loaded = LoadLibraryW(path); }) || !loaded) {
        m.status = status_refused_loading;
        return;
    }
    module_.reset(loaded);
    FARPROC proc = GetProcAddress(loaded, "VSTPluginMain");
    if (!proc) proc = GetProcAddress(loaded, "main");
    if (!proc) {
        m.status = status_no_entry;
        return;
    }
    entry_ = reinterpret_cast<VstPluginMainProc>(reinterpret_cast<void*>(proc));
}

void plugin_slot::call_entry(message& m) {
    if (!entry_ || effect_) {
        m.status = status_bad_request;
        return;
    }
    AEffect* record = nullptr;
    VstPluginMainProc entry = entry_;
    if (!guarded(m, [&] { record = entry(host_callback_thunk); })) return;
    effect_ = record;
    m.answer = record ? 1 : 0;
}

void plugin_slot::dispatch(message& m) {
    AEffect* e = effect_;
    if (!e) {
        m.status = status_not_ready;
        return;
    }
    // The plug-in's own host calls write over the message meanwhile.
    const std::int32_t opcode = m.opcode;
    if (opcode == effClose) closed_ = true;
    dispatch_pointer(m, e);
    if (opcode == effEditClose) frame_.close();
}

void plugin_slot::close() {
    AEffect* e = effect_;
    // A player that waited for the end closed the plug-in itself, if it
    // wanted it closed (a record it refused is never called).
    if (!e || closed_ || faulted_ || !link_.detached()) return;
    closed_ = true;
    // A block the player gave up on may still run: the plug-in is not
    // closed under it (the process ends on its own time if it never returns).
    while (in_audio_) Sleep(1);
    message scratch{};
    guarded(scratch, [&] { e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f); });
}

void plugin_slot::dispatch_pointer(message& m, AEffect* e) {
    const std::int32_t opcode = m.opcode, index = m.index;
    const auto value = static_cast<std::intptr_t>(m.value);
    const float opt = m.opt;
    std::intptr_t answer = 0;
    // Whatever the plug-in's host calls left in the reply's fields goes
    // before this call's own reply is put there.
    const auto call = [&](void* ptr) {
        const bool returned = guarded(m, [&] { answer = e->dispatcher(e, opcode, index, value, ptr, opt); });
        m.answer_has_data = 0;
        m.payload_size = 0;
        m.handle = 0;
        return returned;
    };
    // A pointer crosses only as the opcode's route says.
    if (m.pointer_kind != pointer_none && m.pointer_kind != route_of(direction::to_plugin, opcode).pointer) {
        m.status = status_bad_request;
        return;
    }
    switch (m.pointer_kind) {
        case pointer_none:
            call(nullptr);
            break;
        case pointer_text_in:
            // The plug-in reads its own copy: a host call it makes meanwhile
            // writes over the message.
            std::memcpy(t_text, payload_text(m), m.payload_size < k_payload_bytes ? m.payload_size : k_payload_bytes);
            t_text[k_payload_bytes - 1] = 0;
            call(t_text);
            break;
        case pointer_text_out:
            std::memset(t_text, 0, sizeof t_text);
            if (call(t_text)) put_text(m, t_text);
            break;
        case pointer_rect_out: {
            ERect* rect = nullptr;
            ERect copy{};
            if (call(&rect) && rect && guarded(m, [&] { copy = *rect; })) {
                std::memcpy(m.payload, &copy, sizeof copy);
                m.payload_size = sizeof copy;
                m.answer_has_data = 1;
            }
            break;
        }
        case pointer_window: {
            // Window handles have 32 significant bits on both targets,
            // sign-extended on x64.
            HWND host = reinterpret_cast<HWND>(static_cast<std::intptr_t>(static_cast<std::int32_t>(m.handle)));
            call(frame_.open(host));
            break;
        }
        case pointer_chunk_out: {
            void* data = nullptr;
            if (!call(&data)) break;
            m.answer = answer;
            if (answer <= 0 || answer > k_max_plugin_chunk || !data) break;
            const auto size = static_cast<std::size_t>(answer);
            unique_handle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                     static_cast<DWORD>(size), nullptr));
            bool copied = false;
            {
                unique_view view = map_view(mapping.get(), FILE_MAP_WRITE, size);
                if (!view) break;
                copied = guarded(m, [&] { std::memcpy(view.get(), data, size); });
            }
            if (!copied) break;
            // The player takes the handle over, closing ours.
            m.handle = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(mapping.release()));
            m.answer_has_data = 1;
            return;
        }
        case pointer_chunk_in: {
            unique_handle mapping(reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(m.handle)));
            const auto size = static_cast<std::size_t>(m.value);
            unsigned char empty = 0;
            unique_view view = size ? map_view(mapping.get(), FILE_MAP_READ | FILE_MAP_WRITE, size) : nullptr;
            if (size && !view) {
                m.status = status_bad_request;
                break;
            }
            // Never a null pointer, even for an empty chunk: plug-ins read it.
            call(view ? view.get() : &empty);
            break;
        }
        case pointer_arrangements: {
            // The plug-in reads copies of its own, and gets both as pointers.
            static_assert(sizeof(VstSpeakerArrangement) == k_arrangement_bytes, "the arrangement crosses as it is");
            VstSpeakerArrangement input{}, output{};
            if (!take_arrangements(m, &input, &output)) {
                m.status = status_bad_request;
                return;
            }
            guarded(m, [&] {
                answer = e->dispatcher(e, opcode, index, reinterpret_cast<std::intptr_t>(&input), &output, opt);
            });
            m.answer_has_data = 0;
            m.payload_size = 0;
            m.handle = 0;
            break;
        }
        default:
            m.status = status_bad_request;
            return;
    }
    m.answer = answer;
}

void plugin_slot::map_audio(message& m) {
    unique_handle mapping(reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(m.handle)));
    const auto size = static_cast<std::size_t>(m.value);
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    if (!mapping || size <= info.dwPageSize) {
        m.status = status_bad_request;
        return;
    }
    unique_view view = map_view(mapping.get(), FILE_MAP_READ | FILE_MAP_WRITE, size);
    if (!view) {
        m.status = status_bad_request;
        return;
    }
    const std::size_t usable = (size - info.dwPageSize) / info.dwPageSize * info.dwPageSize;
    DWORD old = 0;
    VirtualProtect(static_cast<char*>(view.get()) + usable, info.dwPageSize, PAGE_NOACCESS, &old);
    audio_ = static_cast<float*>(view.get());
    audio_view_ = std::move(view);
    audio_mapping_ = std::move(mapping);
    audio_bytes_ = usable;
}

void plugin_slot::process(message& m) {
    AEffect* e = effect_;
    const std::uint32_t ins = m.audio_inputs, outs = m.audio_outputs, stride = m.audio_stride;
    const std::uint32_t frames = m.audio_frames;
    const std::uint64_t needed = (std::uint64_t{ins} + outs) * stride * sizeof(float);
    if (!e || !audio_ || ins > inputs_.size() || outs > outputs_.size() || frames > stride || needed > audio_bytes_) {
        m.status = e ? status_bad_request : status_not_ready;
        return;
    }
    for (std::uint32_t i = 0; i < ins; ++i) inputs_[i] = audio_ + std::size_t{i} * stride;
    for (std::uint32_t i = 0; i < outs; ++i) outputs_[i] = audio_ + (std::size_t{ins} + i) * stride;
    float** in = inputs_.data();
    float** out = outputs_.data();
    const auto count = static_cast<std::int32_t>(frames);
    in_audio_ = true;
    guarded(m, [&] {
        if (e->processReplacing) e->processReplacing(e, in, out, count);
    });
    in_audio_ = false;
}

}  // namespace bridge
