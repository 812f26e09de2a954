#pragma once
// The window a plug-in's editor goes into. The player hands over its editor
// window; on Windows the plug-in's editor becomes a child of it across the
// process boundary. Wine draws a child window of another process into
// nothing (its painting goes to a surface no one shows), so under Wine the
// editor goes into a borderless window of ours, owned by the player's
// window and kept over its client area: it moves, hides and closes with it.
#include <windows.h>

namespace bridge {

class editor_frame {
public:
    editor_frame() = default;
    ~editor_frame() { close(); }
    editor_frame(const editor_frame&) = delete;
    editor_frame& operator=(const editor_frame&) = delete;

    // Window thread. The parent for the plug-in's editor in the player's
    // window `host`.
    HWND open(HWND host);
    // Window thread: after effEditClose.
    void close();
    // Puts the frame over the host's client area now (after a size request);
    // does nothing on another thread than the frame's.
    void follow();

private:
    static LRESULT CALLBACK frame_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

    HWND host_ = nullptr;
    HWND frame_ = nullptr;
    RECT placed_{};
    bool shown_ = false;
};

}  // namespace bridge
