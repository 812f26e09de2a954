#include "bridge_process.h"

#include <atomic>
#include <cstring>

#include "../../Helpers/utf.h"
#include "../../host/exception_win32.h"
#include "../../vst/pe_machine.h"

namespace {

constexpr int k_create_attempts = 3;
constexpr DWORD k_create_retry_ms = 50;

// One job for every bridge of this process. Its handle is never closed: the
// system closes it when the player's process ends, however it ends, and
// that ends every bridge still running.
HANDLE bridge_job() {
    static HANDLE job = [] {
        HANDLE j = CreateJobObjectW(nullptr, nullptr);
        if (!j) return j;
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(j, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        return j;
    }();
    return job;
}

std::wstring module_folder() {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&module_folder), &self);
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(self, path, MAX_PATH);
    std::wstring p = path;
    return p.substr(0, p.find_last_of(L"\\/") + 1);
}

std::wstring block_name() {
    static std::atomic<unsigned> counter{0};
    return L"Local\\orvane-bridge-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter) +
           L"-" + std::to_wstring(GetTickCount());
}

}  // namespace

std::string bridge_process::executable_name(std::uint16_t machine) {
    // A file of no known architecture goes to our own, which tells why it
    // does not load.
    const std::uint16_t arch = machine == k_machine_x86 || machine == k_machine_x64 ? machine : own_machine();
    return arch == k_machine_x86 ? "orvane_bridge32.exe" : "orvane_bridge64.exe";
}

std::wstring bridge_process::executable_for(std::uint16_t machine) {
    return module_folder() + utf8_to_wide(executable_name(machine));
}

std::unique_ptr<bridge_process> bridge_process::start(std::uint16_t machine, std::uint32_t deadline_ms,
                                                      std::string& why) {
    const auto failed = [&why](std::string text) {
        why = std::move(text);
        return nullptr;
    };
    const auto system_error = [&failed](DWORD code) { return failed(format_win32_error(code)); };
    std::unique_ptr<bridge_process> p(new bridge_process);
    const std::wstring base = block_name();
    p->mapping_.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                         sizeof(bridge::shared_block), base.c_str()));
    if (!p->mapping_) return system_error(GetLastError());
    p->block_view_ = map_view(p->mapping_.get(), FILE_MAP_READ | FILE_MAP_WRITE, sizeof(bridge::shared_block));
    p->block_ = static_cast<bridge::shared_block*>(p->block_view_.get());
    if (!p->block_) return system_error(GetLastError());
    bridge::block_header& h = p->block_->header;
    h.magic = bridge::k_magic;
    h.version = bridge::k_protocol_version;
    h.header_bytes = sizeof(bridge::block_header);
    h.message_bytes = sizeof(bridge::message);
    h.block_bytes = sizeof(bridge::shared_block);
    h.player_process = GetCurrentProcessId();
    h.player_pointer_bits = sizeof(void*) * 8;
    // The bridge starts every call on the callback lane: it holds the turn.
    p->block_->lanes[bridge::lane_callback].turn = 1;
    for (std::uint32_t l = 0; l < bridge::k_lane_count; ++l) {
        p->to_player_[l].reset(CreateEventW(nullptr, FALSE, FALSE, bridge::lane_event_name(base, l, L'p').c_str()));
        p->to_bridge_[l].reset(CreateEventW(nullptr, FALSE, FALSE, bridge::lane_event_name(base, l, L'b').c_str()));
        if (!p->to_player_[l] || !p->to_bridge_[l]) return system_error(GetLastError());
    }

    const std::wstring exe = executable_for(machine);
    std::wstring command = L"\"" + exe + L"\" " + base;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    // Starting a program of the other architecture now and then fails for
    // no lasting reason (under WoW64 Wine, "internal error"): a few more
    // tries before the plug-in is given up.
    DWORD refused = 0;
    for (int attempt = 0; attempt < k_create_attempts; ++attempt) {
        if (attempt) Sleep(k_create_retry_ms);
        if (CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED | CREATE_NO_WINDOW,
                           nullptr, nullptr, &startup, &info)) {
            refused = 0;
            break;
        }
        refused = GetLastError();
        // A bridge that is not there will not be there in a moment either.
        if (refused == ERROR_FILE_NOT_FOUND || refused == ERROR_PATH_NOT_FOUND) break;
    }
    if (refused) return system_error(refused);
    p->process_.reset(info.hProcess);
    unique_handle thread(info.hThread);
    p->id_ = info.dwProcessId;
    // Without the job (a system that refuses it) the bridge still ends when
    // it sees the player's process end.
    if (HANDLE job = bridge_job()) AssignProcessToJobObject(job, info.hProcess);
    ResumeThread(thread.get());

    HANDLE handles[] = {p->to_player_[bridge::lane_control].get(), p->process_.get()};
    const ULONGLONG end = GetTickCount64() + deadline_ms;
    while (h.state.load() == bridge::state_starting) {
        const ULONGLONG now = GetTickCount64();
        if (now >= end) break;
        const DWORD r = WaitForMultipleObjects(2, handles, FALSE, static_cast<DWORD>(end - now));
        if (r != WAIT_OBJECT_0) break;
    }
    const std::uint32_t state = h.state.load();
    if (state == bridge::state_ready) return p;
    DWORD exit_code = STILL_ACTIVE;
    GetExitCodeProcess(p->process_.get(), &exit_code);
    p->end();
    if (state == bridge::state_refused) return failed("It was built for another version of the component.");
    if (exit_code != STILL_ACTIVE) return failed("It ended as it started (exit code " + std::to_string(exit_code) + ").");
    return failed("It did not answer within " + std::to_string(deadline_ms / 1000) + " s.");
}

bridge_process::~bridge_process() {
    if (process_ && !let_run_) end();
}

void bridge_process::end() {
    if (process_) TerminateProcess(process_.get(), 1);
}

void bridge_process::finish(std::uint32_t ms) {
    if (!process_) return;
    if (WaitForSingleObject(process_.get(), ms) != WAIT_OBJECT_0) end();
}

std::uint32_t bridge_process::give(HANDLE ours) const {
    HANDLE theirs = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), ours, process_.get(), &theirs, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return 0;
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(theirs));
}

unique_handle bridge_process::take(std::uint32_t theirs) const {
    HANDLE ours = nullptr;
    if (!theirs || !DuplicateHandle(process_.get(), reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(theirs)),
                                    GetCurrentProcess(), &ours, 0, FALSE,
                                    DUPLICATE_SAME_ACCESS | DUPLICATE_CLOSE_SOURCE))
        return nullptr;
    return unique_handle(ours);
}
