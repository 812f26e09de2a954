#pragma once
// Writes a plug-in list file the way a user's profile would hold it,
// independently of the component's own writer.
#include <string>
#include <vector>

struct list_record {
    std::string module_path;
    std::string product_name;
    std::string identifier = "00000000-0000-0000-0000-000000000000";
    std::string vendor_name = "Vendor";
    std::string channels = "2/2";
    bool has_editor = false;
};

void write_list_file(const std::wstring& path, const std::vector<list_record>& records);
// Four copies of a uniqueID, as the list file writes them.
std::string identifier_text(unsigned unique_id);
