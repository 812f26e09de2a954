#include "editor_link.h"

#include <cstdint>

#include "../Helpers/critical_section.h"

namespace {

// Guards resvd1 against a window closing while another thread reads it.
// Nothing is called out to while it is held: posting a message does not wait.
critical_section& link_lock() {
    static critical_section lock;
    return lock;
}
critical_section& g_link_lock_at_load = link_lock();

}  // namespace

void set_editor_link(AEffect* effect, editor_link* link) {
    if (!effect) return;
    critical_section_scope guard(link_lock());
    effect->resvd1 = reinterpret_cast<std::intptr_t>(link);
}

bool request_editor_resize(AEffect* effect, int width, int height) {
    if (!effect) return false;
    editor_link* link = nullptr;
    {
        critical_section_scope guard(link_lock());
        link = reinterpret_cast<editor_link*>(effect->resvd1);
        if (!link) return false;
        if (link->window_thread() != GetCurrentThreadId()) return link->post_resize(width, height);
    }
    // The window's own thread: it cannot close while this call runs on it.
    return link->resize_client(width, height);
}
