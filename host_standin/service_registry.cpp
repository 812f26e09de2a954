#include "service_registry.h"

#include <cstring>

void service_registry::add(const GUID& cls, std::function<service_base*()> creator) {
    host_service_class& c = classes_[cls];
    c.guid = cls;
    c.creators.push_back(std::move(creator));
}

void service_registry::add_factory_list(service_factory_base* head) {
    for (service_factory_base* f = head; f; f = f->next) add(f->class_guid, [f] { return f->create_instance(); });
}

const host_service_class* service_registry::find(const GUID& cls) const {
    auto it = classes_.find(cls);
    return it == classes_.end() ? nullptr : &it->second;
}
