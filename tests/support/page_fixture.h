#pragma once
// The "VST plug-ins" page of the component loaded from its DLL, in a real
// window of the test's, with the list file and configuration the test
// chooses.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "../../host/preferences_page.h"
#include "component_fixture.h"
#include "page_driver.h"

// A listed plug-in whose DLL is C:\fx\PRODUCT.dll (nowhere).
list_record listed(const std::string& product, unsigned id);
row_texts row_of(const list_record& r);

class PageFixture : public ComponentFixture {
protected:
    void open(const std::vector<list_record>& plugins, bool portable = false,
              std::vector<unsigned char> configuration = {});
    void TearDown() override;
    service_ptr_t<preferences_page_v3> page_service();
    bool add_enabled() { return IsWindowEnabled(driver->control(1005)) != FALSE; }
    row_texts plugin_row(const std::string& dll, const std::string& product);
    std::vector<list_record> numbered(int count);

    test_page_callback callback;
    HWND parent = nullptr;
    service_ptr_t<preferences_page_instance> instance;
    std::unique_ptr<page_driver> driver;
};
