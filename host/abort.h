#pragma once
// Abort objects: the host hands one to every blocking call so a user can
// cancel it.
#include <windows.h>

#include "exceptions.h"

class abort_callback {
public:
    virtual bool is_aborting() const = 0;
    virtual HANDLE get_abort_event() const = 0;
    void check() const { if (is_aborting()) throw exception_aborted(); }

protected:
    ~abort_callback() = default;
};

class abort_callback_dummy final : public abort_callback {
public:
    bool is_aborting() const override { return false; }
    HANDLE get_abort_event() const override { return nullptr; }
};

// Backed by a manual-reset event that `abort()` sets.
class abort_callback_impl final : public abort_callback {
public:
    abort_callback_impl() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~abort_callback_impl() { if (event_) CloseHandle(event_); }
    abort_callback_impl(const abort_callback_impl&) = delete;
    abort_callback_impl& operator=(const abort_callback_impl&) = delete;

    void abort() { SetEvent(event_); }
    void reset() { ResetEvent(event_); }
    bool is_aborting() const override { return WaitForSingleObject(event_, 0) == WAIT_OBJECT_0; }
    HANDLE get_abort_event() const override { return event_; }

private:
    HANDLE event_;
};
