#pragma once
// The component loaded from its DLL by the host stand-in, with a plug-in
// list and settings of the test's choosing.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "../../host/dsp.h"
#include "../../host_standin/component_host.h"
#include "list_writer.h"
#include "test_paths.h"

// Stored configuration records for the two settings.
std::vector<unsigned char> settings_configuration(std::uint64_t output_limit, std::uint64_t declicker_size);

// The identifiers of the records that keep where plug-ins run: the set of
// plug-ins chosen to run in a process of their own, and the setting "Run
// every plug-in in its own process".
extern const GUID k_process_choice_record;
extern const GUID k_every_plugin_record;
// The records of "Match plug-in channels to the stream" and "Report plug-in
// delay to the player" (one byte each).
extern const GUID k_match_channels_record;
extern const GUID k_report_delay_record;
// Which of the chosen plug-ins were moved there after a crash: a record of
// the same form.
extern const GUID k_moved_after_crash_record;
// The body of the first record (and of that one): the count, then the
// identifiers.
std::vector<unsigned char> process_choice_body(const std::vector<GUID>& own);
// The record of the files a folder scan remembers.
extern const GUID k_scan_memory_record;
// The records of where plug-ins run, as the component would store them.
std::vector<unsigned char> process_configuration(const std::vector<GUID>& own, bool every_plugin,
                                                 const std::vector<GUID>& moved_after_crash = {});

struct guid_less {
    bool operator()(const GUID& a, const GUID& b) const { return std::memcmp(&a, &b, sizeof a) < 0; }
};
// The records of a stored configuration, by identifier.
std::map<GUID, std::vector<unsigned char>, guid_less> configuration_records(const std::vector<unsigned char>& saved);

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
