#include "page_fixture.h"

#include "../../Helpers/utf.h"

namespace {
const GUID k_page_guid = {0x89C112F4, 0xCDA2, 0x4554, {0x91, 0x8A, 0xE7, 0x56, 0xEA, 0x60, 0x8B, 0x94}};
}  // namespace

list_record listed(const std::string& product, unsigned id) {
    list_record r;
    r.module_path = "C:\\fx\\" + product + ".dll";
    r.product_name = product;
    r.vendor_name = "Vendor " + product;
    r.channels = "1/2";
    r.identifier = identifier_text(id);
    return r;
}

row_texts row_of(const list_record& r) { return {r.product_name, r.vendor_name, r.channels, r.module_path}; }

void PageFixture::open(const std::vector<list_record>& plugins, bool portable,
                       std::vector<unsigned char> configuration) {
    init_common_controls();
    write_list_file(profile.file(L"vst_entries.bin"), plugins);
    host_options o;
    o.component_path = component_dll();
    o.profile_folder = profile.utf8();
    o.portable = portable;
    o.configuration = std::move(configuration);
    host = std::make_unique<component_host>(o);
    host->start();
    parent = make_page_parent();
    instance = page_service()->instantiate(parent, &callback);
    ASSERT_TRUE(instance);
    callback.page = instance.get();
    driver = std::make_unique<page_driver>(instance->get_wnd());
}

void PageFixture::TearDown() {
    instance.reset();
    if (parent) DestroyWindow(parent);
}

service_ptr_t<preferences_page_v3> PageFixture::page_service() {
    for (auto& p : host->services<preferences_page>()) {
        service_ptr_t<preferences_page_v3> v3;
        if (p->get_guid() == k_page_guid && p.query_as(v3)) return v3;
    }
    ADD_FAILURE() << "no VST plug-ins page";
    return {};
}

row_texts PageFixture::plugin_row(const std::string& dll, const std::string& product) {
    return {product, "Orvane Labs", "2/2", wide_to_utf8(plugin_dll(dll))};
}

std::vector<list_record> PageFixture::numbered(int count) {
    std::vector<list_record> out;
    for (int i = 0; i < count; ++i) out.push_back(listed("fx" + std::to_string(i), 0x1000 + i));
    return out;
}
