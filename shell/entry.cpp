#include "entry.h"

#include <cstring>

#include "identifier_text.h"

namespace {
const char k_editor_yes[] = "config:true";
const char k_editor_no[] = "config:false";
}  // namespace

entry::entry(std::string path) : module_path(std::move(path)) {}

entry::entry(const lines& t)
    : product_name(t[1]),
      spare_text(t[2]),
      vendor_name(t[3]),
      channel_summary(t[4]),
      module_path(t[0]),
      identifier(parse_identifier(t[5])),
      has_editor(t[6] == k_editor_yes) {}

entry::lines entry::to_lines() const {
    return {module_path, product_name, spare_text, vendor_name, channel_summary, format_identifier(identifier),
            has_editor ? k_editor_yes : k_editor_no};
}

bool same_record(const entry& a, const entry& b) {
    return a.module_path == b.module_path && a.product_name == b.product_name && a.spare_text == b.spare_text &&
           a.vendor_name == b.vendor_name && a.channel_summary == b.channel_summary &&
           std::memcmp(&a.identifier, &b.identifier, sizeof a.identifier) == 0 && a.has_editor == b.has_editor;
}
