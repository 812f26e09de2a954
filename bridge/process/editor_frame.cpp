#include "editor_frame.h"

namespace bridge {

namespace {

const wchar_t k_frame_class[] = L"OrvaneBridgeEditor";
constexpr UINT_PTR k_follow_timer = 1;
// Often enough that a moved window takes its editor along without a
// visible lag, rarely enough to cost nothing.
constexpr UINT k_follow_period_ms = 30;

bool running_under_wine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

}  // namespace

HWND editor_frame::open(HWND host) {
    close();
    host_ = host;
    if (!host || !running_under_wine()) return host;

    WNDCLASSW wc{};
    wc.lpfnWndProc = frame_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = k_frame_class;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    RegisterClassW(&wc);  // fails harmlessly when already registered
    frame_ = CreateWindowExW(WS_EX_TOOLWINDOW, k_frame_class, L"", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 0, 0, host,
                             nullptr, wc.hInstance, this);
    if (!frame_) return host;
    SetTimer(frame_, k_follow_timer, k_follow_period_ms, nullptr);
    follow();
    return frame_;
}

void editor_frame::close() {
    if (frame_) DestroyWindow(frame_);
    frame_ = nullptr;
    host_ = nullptr;
    shown_ = false;
    placed_ = {};
}

void editor_frame::follow() {
    if (!frame_ || GetWindowThreadProcessId(frame_, nullptr) != GetCurrentThreadId()) return;
    if (!IsWindow(host_)) {
        // The player's window went without closing the editor first (its
        // process ended): the editor goes with it.
        DestroyWindow(frame_);
        frame_ = nullptr;
        return;
    }
    RECT client{};
    GetClientRect(host_, &client);
    POINT corner{0, 0};
    ClientToScreen(host_, &corner);
    const RECT place{corner.x, corner.y, corner.x + client.right, corner.y + client.bottom};
    const bool visible = IsWindowVisible(host_) && !IsIconic(host_);
    if (EqualRect(&place, &placed_) && visible == shown_) return;
    placed_ = place;
    shown_ = visible;
    SetWindowPos(frame_, nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | (visible ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

LRESULT CALLBACK editor_frame::frame_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams));
    auto* self = reinterpret_cast<editor_frame*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_TIMER && wparam == k_follow_timer && self) {
        self->follow();
        return 0;
    }
    if (message == WM_NCDESTROY && self && self->frame_ == window) self->frame_ = nullptr;
    return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace bridge
