#pragma once
// Every service the stand-in knows, by class: its own and those of the
// component's factory list.
#include <cstring>
#include <functional>
#include <map>
#include <vector>

#include "../host/api.h"

struct host_service_class {
    GUID guid{};
    std::vector<std::function<service_base*()>> creators;  // each returns a new reference
};

class service_registry {
public:
    void add(const GUID& cls, std::function<service_base*()> creator);
    // Walks a component's list from its head.
    void add_factory_list(service_factory_base* head);
    const host_service_class* find(const GUID& cls) const;

private:
    struct guid_less {
        bool operator()(const GUID& a, const GUID& b) const { return std::memcmp(&a, &b, sizeof a) < 0; }
    };
    std::map<GUID, host_service_class, guid_less> classes_;
};
