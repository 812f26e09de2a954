#pragma once
// The host's service model: reference-counted objects named by class GUIDs,
// handed out by factory records that a component links into one list.
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <utility>

class service_base {
public:
    virtual int release() noexcept = 0;
    virtual int add_ref() noexcept = 0;
    // On success `out` holds a new reference to the asked interface.
    virtual bool query(service_base*& out, const GUID& guid) = 0;

protected:
    ~service_base() = default;
};

// Owning pointer to a service object; every copy holds one reference.
template <class T>
class service_ptr_t {
public:
    service_ptr_t() = default;
    service_ptr_t(T* p) : p_(p) { if (p_) p_->add_ref(); }
    service_ptr_t(const service_ptr_t& o) : service_ptr_t(o.p_) {}
    service_ptr_t(service_ptr_t&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    template <class U>
    service_ptr_t(service_ptr_t<U> o) : p_(o.detach()) {}
    ~service_ptr_t() { reset(); }
    service_ptr_t& operator=(service_ptr_t o) noexcept { std::swap(p_, o.p_); return *this; }

    // Takes over a reference the caller already holds.
    static service_ptr_t adopt(T* p) { service_ptr_t r; r.p_ = p; return r; }
    T* detach() { return std::exchange(p_, nullptr); }
    void reset() { if (T* p = std::exchange(p_, nullptr)) p->release(); }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }

    // Asks the object for another interface, named by U::class_guid.
    template <class U>
    bool query_as(service_ptr_t<U>& out) const {
        service_base* raw = nullptr;
        if (!p_ || !p_->query(raw, U::class_guid) || !raw) return false;
        out = service_ptr_t<U>::adopt(static_cast<U*>(raw));
        return true;
    }

private:
    T* p_ = nullptr;
};

// Answers a query for `guid` with `self` when it names one of the given classes.
template <class Self, class... Interfaces>
bool answer_query(Self* self, service_base*& out, const GUID& guid) {
    service_base* found = nullptr;
    ((found == nullptr && guid == Interfaces::class_guid
          ? (found = static_cast<Interfaces*>(self), true) : false), ...);
    if (!found) return false;
    found->add_ref();
    out = found;
    return true;
}

// Heap object with an atomic count; freed when the last reference goes.
template <class T>
class service_impl_t final : public T {
public:
    template <class... Args>
    explicit service_impl_t(Args&&... args) : T(std::forward<Args>(args)...) {}
    int release() noexcept override {
        int n = --count_;
        if (n == 0) delete this;
        return n;
    }
    int add_ref() noexcept override { return ++count_; }

private:
    std::atomic<int> count_{0};
};

// Creates a counted object; the returned pointer holds the first reference.
template <class T, class... Args>
service_ptr_t<T> make_service(Args&&... args) {
    return service_ptr_t<T>(new service_impl_t<T>(std::forward<Args>(args)...));
}

// Static object: the counting operations do nothing.
template <class T>
class service_impl_single_t final : public T {
public:
    template <class... Args>
    explicit service_impl_single_t(Args&&... args) : T(std::forward<Args>(args)...) {}
    int release() noexcept override { return 1; }
    int add_ref() noexcept override { return 1; }
};

// One record of a component's factory list. The host walks `next` from the
// head the component hands it and asks each record for its object.
class service_factory_base {
public:
    // Returns a new reference to the object this record hands out.
    virtual service_base* create_instance() = 0;
    service_factory_base* next = nullptr;
    const GUID& class_guid;

protected:
    explicit service_factory_base(const GUID& g) : class_guid(g) {}
    ~service_factory_base() = default;
};

// Factory record that hands out one static object of T. The record serves the
// class T::service_class (an interface names its own root class that way).
template <class T>
class service_factory_single_t final : public service_factory_base {
public:
    template <class... Args>
    explicit service_factory_single_t(Args&&... args)
        : service_factory_base(T::service_class::class_guid), object_(std::forward<Args>(args)...) {}
    service_base* create_instance() override {
        object_.add_ref();
        return &object_;
    }
    T& get() { return object_; }

private:
    service_impl_single_t<T> object_;
};
