#include "win32_filesystem.h"

#include <windows.h>

#include <string>

#include "../Helpers/utf.h"
#include "../Helpers/win32_handles.h"

namespace {

std::wstring native_path(const char* path) {
    std::string p = path ? path : "";
    const std::string scheme = "file://";
    if (p.compare(0, scheme.size(), scheme) == 0) p.erase(0, scheme.size());
    return utf8_to_wide(p);
}

[[noreturn]] void throw_last_error(const std::string& what) {
    DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) throw exception_io_not_found();
    throw exception_io(what + " (Win32 error " + std::to_string(code) + ")");
}

class win32_file : public file {
public:
    explicit win32_file(unique_handle handle) : handle_(std::move(handle)) {}
    bool query(service_base*& out, const GUID& guid) override {
        return answer_query<win32_file, file>(this, out, guid);
    }
    std::size_t read(void* buffer, std::size_t bytes, abort_callback& abort) override {
        auto* p = static_cast<unsigned char*>(buffer);
        std::size_t done = 0;
        while (done < bytes) {
            abort.check();
            DWORD want = static_cast<DWORD>(bytes - done > (1u << 30) ? (1u << 30) : bytes - done);
            DWORD got = 0;
            if (!ReadFile(handle_.get(), p + done, want, &got, nullptr)) throw_last_error("Could not read the file");
            if (got == 0) break;
            done += got;
        }
        return done;
    }
    void write(const void* buffer, std::size_t bytes, abort_callback& abort) override {
        const auto* p = static_cast<const unsigned char*>(buffer);
        std::size_t done = 0;
        while (done < bytes) {
            abort.check();
            DWORD want = static_cast<DWORD>(bytes - done > (1u << 30) ? (1u << 30) : bytes - done);
            DWORD put = 0;
            if (!WriteFile(handle_.get(), p + done, want, &put, nullptr) || put == 0)
                throw_last_error("Could not write the file");
            done += put;
        }
    }
    std::uint64_t size(abort_callback&) override {
        LARGE_INTEGER s{};
        if (!GetFileSizeEx(handle_.get(), &s)) throw_last_error("Could not read the file size");
        return static_cast<std::uint64_t>(s.QuadPart);
    }
    std::uint64_t position(abort_callback&) override {
        LARGE_INTEGER zero{}, pos{};
        if (!SetFilePointerEx(handle_.get(), zero, &pos, FILE_CURRENT)) throw_last_error("Could not seek");
        return static_cast<std::uint64_t>(pos.QuadPart);
    }

private:
    unique_handle handle_;
};

}  // namespace

file_stats win32_filesystem::get_stats(const char* path, abort_callback& abort) {
    abort.check();
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(native_path(path).c_str(), GetFileExInfoStandard, &data))
        throw_last_error("Could not read the file's statistics");
    file_stats s;
    s.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    s.timestamp = (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                  data.ftLastWriteTime.dwLowDateTime;
    return s;
}

service_ptr_t<file> win32_filesystem::open(const char* path, open_mode mode, abort_callback& abort) {
    abort.check();
    DWORD access = mode == open_mode_read ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    DWORD disposition = mode == open_mode_read ? OPEN_EXISTING : mode == open_mode_write_new ? CREATE_ALWAYS
                                                                                            : OPEN_EXISTING;
    unique_handle h = make_file_handle(CreateFileW(native_path(path).c_str(), access, FILE_SHARE_READ, nullptr,
                                                   disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) throw_last_error("Could not open the file");
    return make_service<win32_file>(std::move(h));
}
