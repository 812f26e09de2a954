# Read by ctest after the test lists of the GoogleTest executables: the tests
# that read or write the legacy plug-in list's registry key take turns. The
# tests in process redirect the current user's key to one of their own, but
# the tool's own process sees the prefix's real key, and any ctest run (the
# x86 one too) runs tests side by side in one prefix.
foreach(test IN LISTS unit_tests_TESTS component_tests_TESTS)
  if(test MATCHES "^(LegacyImport\\.|PrefsPage\\.ShiftAdd|PrefsTool\\.ImportLegacy)")
    set_tests_properties("${test}" PROPERTIES RESOURCE_LOCK legacy_registry_key)
  endif()
endforeach()
