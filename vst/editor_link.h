#pragma once
// What the host callback needs of an open editor window. The window stores
// a pointer to this interface in the plug-in record's resvd1.
class editor_link {
public:
    // Resizes the plug-in area of the window; -1 keeps that extent.
    virtual bool resize_client(int width, int height) = 0;

protected:
    ~editor_link() = default;
};
