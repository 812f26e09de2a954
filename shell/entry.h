#pragma once
// One configured plug-in, as the list file keeps it.
#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

class entry {
public:
    // The seven texts in the list file's line order.
    using lines = std::array<std::string, 7>;

    entry() = default;
    explicit entry(std::string module_path);
    explicit entry(const lines& texts);
    entry(const entry&) = default;
    entry& operator=(const entry&) = default;
    virtual ~entry() = default;

    lines to_lines() const;

    std::string product_name;
    std::string spare_text;
    std::string vendor_name;
    std::string channel_summary;
    std::string module_path;
    GUID identifier{};
    bool has_editor = false;
};

// All seven fields equal, the identifier byte for byte.
bool same_record(const entry& a, const entry& b);

using entry_list = std::vector<std::unique_ptr<entry>>;
