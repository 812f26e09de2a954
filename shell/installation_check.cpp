#include "installation_check.h"

#include "component.h"

bool is_expected_file_name(const std::string& path) {
    std::size_t cut = path.find_last_of("\\/|:");
    std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    return name == k_component_file_name;
}
