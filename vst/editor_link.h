#pragma once
// What the host callback needs of an open editor window. The window stores
// a pointer to this interface in the plug-in record's resvd1 while it is
// open.
//
// A plug-in may ask for a new size from any thread. Only the window's own
// thread may size it: elsewhere the request is handed to the window, since
// that thread can be waiting for the plug-in's (at close, for instance) and
// the window may be closing meanwhile.
#include <windows.h>

#include "../plugin_api/aeffect.h"

class editor_link {
public:
    // The window's thread: resizes the plug-in area now; -1 keeps that extent.
    virtual bool resize_client(int width, int height) = 0;
    // Any thread, while linked: queues the request to the window's thread.
    virtual bool post_resize(int width, int height) = 0;
    virtual DWORD window_thread() const = 0;

protected:
    ~editor_link() = default;
};

// Window thread: resvd1 of `effect` points at `link` from here on (null unlinks).
void set_editor_link(AEffect* effect, editor_link* link);
// Any thread: a plug-in's size request for its open editor, if it has one.
bool request_editor_resize(AEffect* effect, int width, int height);
