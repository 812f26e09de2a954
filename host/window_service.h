#pragma once
// A dialog window that is also a reference-counted service object, as the
// player hands page instances around: the object outlives its window as long
// as someone holds it, and the window goes when the last reference does.
#include <windows.h>

#include <atomic>
#include <exception>
#include <string>
#include <utility>

#include "../Helpers/dialog_window.h"
#include "../Helpers/utf.h"
#include "exception_win32.h"
#include "preferences_page.h"
#include "shared.h"

// Runs every message of the dialog inside a guard whose filter is the
// player's uExceptFilterProc. Exceptions reach the filter as C++ exceptions
// (code k_cpp_exception_code with their description); when it takes one the
// message answers 0 and the window keeps running.
template <class T>
class CWindowFixSEH : public T {
public:
    using T::T;

protected:
    bool guarded_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
        try {
            return T::on_message(message, wparam, lparam, result);
        } catch (...) {
            std::string text = describe(std::current_exception());
            EXCEPTION_RECORD record{};
            record.ExceptionCode = k_cpp_exception_code;
            record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
            record.NumberParameters = 1;
            record.ExceptionInformation[0] = reinterpret_cast<ULONG_PTR>(text.c_str());
            EXCEPTION_POINTERS pointers{&record, nullptr};
            if (uExceptFilterProc(&pointers) != EXCEPTION_EXECUTE_HANDLER) throw;
            result = 0;
            return true;
        }
    }

private:
    static std::string describe(std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& x) {
            return x.what();
        } catch (const wchar_t* text) {
            return text ? wide_to_utf8(text) : std::string();
        } catch (const char* text) {
            return text ? text : "";
        } catch (...) {
            return "unknown exception";
        }
    }
};

// A page instance of dialog class TDialog, created from TDialog::IDD of the
// component's module.
template <class TDialog>
class preferences_page_instance_impl : public TDialog {
public:
    using TDialog::TDialog;

    HWND get_wnd() override { return this->hwnd(); }

    // Creates the dialog as a modeless child; exception_win32 when it fails.
    void create(HINSTANCE module, HWND parent) {
        SetLastError(0);
        if (!this->create_modeless(module, TDialog::IDD, parent)) exception_win32::raise(GetLastError());
    }
};

// Counts references; the last release destroys the window unless it is gone
// or going, and the object is freed once both the references and the window
// are gone.
template <class T>
class window_service_impl_t final : public T {
public:
    using T::T;

    int add_ref() noexcept override { return ++count_; }
    int release() noexcept override {
        int n = --count_;
        if (n == 0) {
            HWND wnd = this->hwnd();
            if (!wnd) delete this;
            else if (!destroying_) DestroyWindow(wnd);  // freed by the final message
        }
        return n;
    }
    bool query(service_base*& out, const GUID& guid) override {
        return answer_query<window_service_impl_t, preferences_page_instance>(this, out, guid);
    }

protected:
    bool on_message(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override {
        if (message == WM_DESTROY) destroying_ = true;
        return this->guarded_message(message, wparam, lparam, result);
    }
    void on_final_message() override {
        T::on_final_message();
        if (count_ == 0) delete this;
    }

private:
    ~window_service_impl_t() override = default;

    std::atomic<int> count_{0};
    bool destroying_ = false;
};

template <class TDialog>
service_ptr_t<preferences_page_instance> preferences_page_impl<TDialog>::instantiate(
    HWND parent, service_ptr_t<preferences_page_callback> callback) {
    using instance = window_service_impl_t<CWindowFixSEH<preferences_page_instance_impl<TDialog>>>;
    // Held by one reference while the window is made: a failure frees it.
    service_ptr_t<instance> page(new instance(std::move(callback)));
    page->create(TDialog::module(), parent);
    return page;
}

// Factory record that registers a static page object of class T.
template <class T>
class preferences_page_factory_t final : public service_factory_base {
public:
    preferences_page_factory_t() : service_factory_base(preferences_page::class_guid) {}
    service_base* create_instance() override {
        object_.add_ref();
        return static_cast<preferences_page*>(&object_);
    }
    T& get() { return object_; }

private:
    service_impl_single_t<T> object_;
};
