#pragma once
// The component's list of service factory records. Records are pushed at
// the head and never unlinked; the host walks the list from the head.
#include "../host/service.h"

service_factory_base* factory_list_head();
void link_factory(service_factory_base& record);

// A static service of the component, linked into the list when the DLL's
// static objects are constructed.
template <class T>
class registered_service {
public:
    template <class... Args>
    explicit registered_service(Args&&... args) : record_(std::forward<Args>(args)...) { link_factory(record_); }
    T& get() { return record_.get(); }

private:
    service_factory_single_t<T> record_;
};
