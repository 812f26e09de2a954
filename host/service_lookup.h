#pragma once
// Finding services by class through the host's API object.
#include <cstddef>

#include "api.h"
#include "exceptions.h"

// The one service of class T; throws when there is none or more than one.
template <class T>
service_ptr_t<T> find_single_service(velmora_api& api) {
    service_class_ref cls = api.find_class(T::class_guid);
    std::size_t n = cls ? api.count_services(cls) : 0;
    if (n == 0) throw exception_service_not_found();
    if (n > 1) throw exception_service_duplicated();
    service_ptr_t<service_base> obj = service_ptr_t<service_base>::adopt(api.create_service(cls, 0));
    service_ptr_t<T> out;
    if (!obj.query_as(out)) throw exception_service_not_found();
    return out;
}

// Calls fn(service_ptr_t<T>) for every service of class T, in the host's
// order, until fn answers false.
template <class T, class Fn>
void for_each_service(velmora_api& api, Fn&& fn) {
    service_class_ref cls = api.find_class(T::class_guid);
    std::size_t n = cls ? api.count_services(cls) : 0;
    for (std::size_t i = 0; i < n; ++i) {
        service_ptr_t<service_base> obj = service_ptr_t<service_base>::adopt(api.create_service(cls, i));
        service_ptr_t<T> typed;
        if (obj.query_as(typed) && !fn(typed)) return;
    }
}
