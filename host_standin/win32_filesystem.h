#pragma once
// The host's file system over plain Win32 files. Paths are UTF-8; a
// "file://" prefix is accepted and removed.
#include "../host/filesystem.h"

class win32_filesystem : public filesystem {
public:
    bool query(service_base*& out, const GUID& guid) override {
        return answer_query<win32_filesystem, filesystem>(this, out, guid);
    }
    file_stats get_stats(const char* path, abort_callback& abort) override;
    service_ptr_t<file> open(const char* path, open_mode mode, abort_callback& abort) override;
};
