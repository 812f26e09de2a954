#pragma once
// Pages of the host's preferences window: the page service that names a page
// and creates instances of it, and the instance the window shows.
#include <windows.h>

#include "exceptions.h"
#include "service.h"
#include "string_base.h"

// What the window is told of a page instance's state.
enum : unsigned {
    preferences_state_changed = 1,
    preferences_state_needs_restart = 2,
    preferences_state_needs_restart_playback = 4,
    preferences_state_resettable = 8,
};

class preferences_page_callback : public service_base {
public:
    static constexpr GUID class_guid = {0x6C7E5D2A, 0x1B3F, 0x4C8E, {0x9A, 0x41, 0x2D, 0x77, 0xE0, 0x5B, 0x13, 0xC9}};
    // The host asks the instance's state again.
    virtual void on_state_changed() = 0;  // 3
};

class preferences_page_instance : public service_base {
public:
    static constexpr GUID class_guid = {0x3F0A9B64, 0x8E21, 0x4D57, {0xB6, 0x0C, 0x71, 0xA4, 0x2E, 0x9D, 0x58, 0x03}};
    virtual unsigned get_state() = 0;  // 3
    virtual HWND get_wnd() = 0;        // 4
    virtual void apply() = 0;          // 5
    virtual void reset() = 0;          // 6
};

class preferences_page : public service_base {
public:
    using service_class = preferences_page;
    static constexpr GUID class_guid = {0x7D1B6C0E, 0x52A9, 0x4F3B, {0x8C, 0x16, 0xE4, 0x0D, 0x93, 0x7A, 0x21, 0x6F}};
    // Obsolete page creation; pages of this generation throw.
    virtual HWND create(HWND parent) = 0;                // 3
    virtual void get_name(string_base& out) = 0;         // 4
    virtual GUID get_guid() = 0;                         // 5
    virtual GUID get_parent_guid() = 0;                  // 6
    virtual bool reset_query() = 0;                      // 7
    virtual void reset() = 0;                            // 8
    virtual bool get_help_url(string_base& out) = 0;     // 9
};

class preferences_page_v2 : public preferences_page {
public:
    static constexpr GUID class_guid = {0xA4E27F15, 0x6D0C, 0x4B92, {0x93, 0x5E, 0x08, 0xC1, 0x7B, 0x46, 0xAD, 0x2E}};
    virtual double get_sort_priority() = 0;  // 10
};

class preferences_page_v3 : public preferences_page_v2 {
public:
    static constexpr GUID class_guid = {0x0B5D3E98, 0xC7F4, 0x4A61, {0xAE, 0x29, 0x5F, 0x83, 0x16, 0xD0, 0x7C, 0x4B}};
    // A new instance as a child of `parent`, with one reference.
    virtual service_ptr_t<preferences_page_instance> instantiate(HWND parent,
                                                                 service_ptr_t<preferences_page_callback> callback) = 0;  // 11
};

// A page of the current generation whose instances are TDialog windows
// (see window_service.h); the page itself names the page.
template <class TDialog>
class preferences_page_impl : public preferences_page_v3 {
public:
    bool query(service_base*& out, const GUID& guid) override {
        return answer_query<preferences_page_impl, preferences_page_v3, preferences_page_v2, preferences_page>(
            this, out, guid);
    }
    HWND create(HWND) override { throw exception_not_implemented(); }
    bool reset_query() override { return false; }
    void reset() override {}
    service_ptr_t<preferences_page_instance> instantiate(HWND parent,
                                                         service_ptr_t<preferences_page_callback> callback) override;
};
