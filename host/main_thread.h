#pragma once
// Work queued from any thread to run once on the host's main thread.
#include "service.h"

class main_thread_callback : public service_base {
public:
    using service_class = main_thread_callback;
    static constexpr GUID class_guid = {0x87D2C583, 0x7AFB, 0x4E58, {0xB2, 0x1E, 0xFB, 0xD3, 0xE6, 0xE8, 0xF5, 0xE7}};
    virtual void run() = 0;
};

class main_thread_callback_manager : public service_base {
public:
    using service_class = main_thread_callback_manager;
    static constexpr GUID class_guid = {0x1131D64B, 0x04CB, 0x43EE, {0x95, 0xEB, 0x24, 0xD1, 0x8B, 0x75, 0x32, 0x48}};
    // The queue takes its own reference and drops it after the run.
    virtual void add_callback(main_thread_callback* callback) = 0;
};
