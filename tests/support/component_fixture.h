#pragma once
// The component loaded from its DLL by the host stand-in, with a plug-in
// list and settings of the test's choosing.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../../host/dsp.h"
#include "../../host_standin/component_host.h"
#include "list_writer.h"
#include "test_paths.h"

// Stored configuration records for the two settings.
std::vector<unsigned char> settings_configuration(std::uint64_t output_limit, std::uint64_t declicker_size);

// Four copies of a uniqueID: the slot identifier validation gives a plug-in.
GUID plugin_guid(unsigned unique_id);

// A preset of `owner` whose data is the four bytes of `key`, as a slot's presets are.
dsp_preset_impl keyed(const GUID& owner, std::uint32_t key);
// A preset of `owner` that stores a plug-in's parameters: the key, their
// count and their values.
dsp_preset_impl with_parameters(const GUID& owner, std::uint32_t key, const std::vector<float>& values);

// A list record for one of our test plug-ins, identified as validation would.
list_record plugin_record(const std::string& name, unsigned unique_id, const std::string& product);

class ComponentFixture : public ::testing::Test {
protected:
    void start(const std::vector<list_record>& plugins, std::vector<unsigned char> configuration = {},
               const dsp_chain_config* chain = nullptr);
    // The DSP entry whose name is `name`.
    service_ptr_t<dsp_entry_v2> effect(const std::string& name);
    dsp_preset_impl default_preset(const std::string& name);

    temp_folder profile;
    std::unique_ptr<component_host> host;
};
