#pragma once
// A thread-local slot of the system's (TlsAlloc) read and written without a
// call: the first 64 slots live in the thread's environment block at a
// place every Windows release has kept, and the audio path reads one per
// plug-in call. Slots beyond those take the system's own functions.
#include <windows.h>

#include <cstddef>
#include <cstdint>

// The calling thread's environment block: names the thread without a call.
inline void* current_teb() {
    void* teb;
#if defined(__x86_64__)
    asm("movq %%gs:0x30, %0" : "=r"(teb));
#else
    asm("movl %%fs:0x18, %0" : "=r"(teb));
#endif
    return teb;
}

class thread_slot {
public:
    thread_slot() : index_(TlsAlloc()) {}
    ~thread_slot() {
        if (index_ != TLS_OUT_OF_INDEXES) TlsFree(index_);
    }
    thread_slot(const thread_slot&) = delete;
    thread_slot& operator=(const thread_slot&) = delete;

    void* get() const {
        if (index_ < k_inline_slots) return inline_slots()[index_];
        return index_ == TLS_OUT_OF_INDEXES ? nullptr : TlsGetValue(index_);
    }
    void set(void* value) const {
        if (index_ < k_inline_slots) inline_slots()[index_] = value;
        else if (index_ != TLS_OUT_OF_INDEXES) TlsSetValue(index_, value);
    }

private:
    static constexpr DWORD k_inline_slots = 64;
    static void** inline_slots() {
#if defined(__x86_64__)
        constexpr std::size_t k_offset = 0x1480;
#else
        constexpr std::size_t k_offset = 0xE10;
#endif
        return reinterpret_cast<void**>(static_cast<char*>(current_teb()) + k_offset);
    }

    DWORD index_;
};

// A small number or flag per thread, kept in a slot: the compiler's own
// thread-local variables go through a runtime lookup that takes a lock, too
// slow for what every plug-in call reads.
template <class T>
class thread_value {
public:
    T get() const { return static_cast<T>(reinterpret_cast<std::intptr_t>(slot_.get())); }
    void set(T value) const { slot_.set(reinterpret_cast<void*>(static_cast<std::intptr_t>(value))); }

private:
    thread_slot slot_;
};
