#pragma once
// Errors the host raises as exceptions: look-ups, I/O and unimplemented calls.
#include <exception>
#include <string>

class host_exception : public std::exception {
public:
    explicit host_exception(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

class exception_service_not_found : public host_exception {
public:
    exception_service_not_found() : host_exception("Service not found") {}
};

class exception_service_duplicated : public host_exception {
public:
    exception_service_duplicated() : host_exception("Service duplicated") {}
};

class exception_not_implemented : public host_exception {
public:
    exception_not_implemented() : host_exception("Feature not implemented") {}
};

class exception_io : public host_exception {
public:
    explicit exception_io(std::string message = "I/O error") : host_exception(std::move(message)) {}
};

class exception_io_not_found : public exception_io {
public:
    exception_io_not_found() : exception_io("Object not found") {}
};

class exception_io_data_truncation : public exception_io {
public:
    exception_io_data_truncation() : exception_io("Unexpected end of file") {}
};

class exception_aborted : public host_exception {
public:
    exception_aborted() : host_exception("User abort") {}
};
