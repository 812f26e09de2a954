// A plug-in with a GDI editor: four coloured quadrants over the rectangle it
// reports. A click in the view sets its level (the click's share of the
// width), which scales the audio by twice its value. A WM_APP + 1 message to
// the view (width, height) makes it ask the host for that size, as a
// plug-in does when its panel grows.
#include <windows.h>

#include "common/test_plugin.h"

namespace {

constexpr UINT k_ask_size = WM_APP + 1;
const wchar_t k_view_class[] = L"OrvanePainterView";
// Top left, top right, bottom left, bottom right.
const COLORREF k_quadrants[4] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 0)};

class painter final : public test_plugin {
public:
    explicit painter(audioMasterCallback host)
        : test_plugin(host, {0x4F506E74 /* OPnt */, 2, 2, 2, effFlagsCanReplacing | effFlagsHasEditor, 1, "Orvane Painter",
                             "Orvane Labs"}) {}

    void process(float** in, float** out, std::int32_t frames) override {
        const float gain = 2.0f * params_[0];
        for (int ch = 0; ch < 2; ++ch)
            for (std::int32_t i = 0; i < frames; ++i) out[ch][i] = in[ch][i] * gain;
    }
    std::string parameter_name(std::int32_t index) override { return index == 0 ? "Level" : "Spare"; }

    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                           float opt) override {
        switch (opcode) {
            case effEditGetRect:
                if (ptr) *static_cast<ERect**>(ptr) = &rect_;
                return 1;
            case effEditOpen: return open_view(static_cast<HWND>(ptr)) ? 1 : 0;
            case effEditClose:
                if (view_) DestroyWindow(view_);
                view_ = nullptr;
                return 1;
            default: return test_plugin::dispatch(opcode, index, value, ptr, opt);
        }
    }

private:
    bool open_view(HWND parent) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = view_proc;
        wc.hInstance = module();
        wc.lpszClassName = k_view_class;
        RegisterClassW(&wc);  // fails harmlessly when already registered
        view_ = CreateWindowExW(0, k_view_class, L"", WS_CHILD | WS_VISIBLE, 0, 0, rect_.right, rect_.bottom, parent,
                                nullptr, module(), this);
        return view_ != nullptr;
    }

    static HINSTANCE module() {
        HMODULE m = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(&view_proc), &m);
        return m;
    }

    static LRESULT CALLBACK view_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_NCCREATE)
            SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams));
        auto* self = reinterpret_cast<painter*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (message == WM_PAINT) {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            RECT client;
            GetClientRect(hwnd, &client);
            const LONG mid_x = client.right / 2, mid_y = client.bottom / 2;
            const RECT parts[4] = {{0, 0, mid_x, mid_y},
                                   {mid_x, 0, client.right, mid_y},
                                   {0, mid_y, mid_x, client.bottom},
                                   {mid_x, mid_y, client.right, client.bottom}};
            for (int i = 0; i < 4; ++i) {
                HBRUSH brush = CreateSolidBrush(k_quadrants[i]);
                FillRect(dc, &parts[i], brush);
                DeleteObject(brush);
            }
            EndPaint(hwnd, &ps);
            return 0;
        }
        if (message == WM_LBUTTONDOWN && self) {
            RECT client;
            GetClientRect(hwnd, &client);
            const float level = static_cast<float>(static_cast<short>(LOWORD(lparam))) / static_cast<float>(client.right);
            self->set_parameter(0, level);
            self->call_host(audioMasterAutomate, 0, 0, nullptr, level);
            return 0;
        }
        if (message == k_ask_size && self) {
            self->rect_.right = static_cast<std::int16_t>(wparam);
            self->rect_.bottom = static_cast<std::int16_t>(lparam);
            SetWindowPos(hwnd, nullptr, 0, 0, static_cast<int>(wparam), static_cast<int>(lparam),
                         SWP_NOZORDER | SWP_NOMOVE);
            InvalidateRect(hwnd, nullptr, TRUE);
            self->call_host(audioMasterSizeWindow, static_cast<std::int32_t>(wparam), static_cast<std::intptr_t>(lparam));
            return 0;
        }
        return DefWindowProcW(hwnd, message, wparam, lparam);
    }

    ERect rect_{0, 0, 200, 320};
    HWND view_ = nullptr;
};

}  // namespace

TEST_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) { return (new painter(host))->record(); }
