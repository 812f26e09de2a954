# Settings every module of a build tree shares, whichever architecture it is
# built for: the main project and the other architecture's half
# (cmake/foreign) both include this.
set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)

# Everything we ship needs only system DLLs (the x86 stand-in adds one of
# its own, host_standin/unwinder).
add_link_options(-static -static-libgcc -static-libstdc++)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

function(orvane_strict target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

if(CMAKE_SYSTEM_PROCESSOR STREQUAL X86)
  # Floating point in SSE registers, as on x64: samples are moved and
  # computed bit for bit alike on both targets (the x87 unit quiets a
  # signalling NaN on a plain copy), and the vector paths of the sample
  # conversions are taken. Plug-ins and the system may call us on stacks
  # aligned to 4 bytes only, so functions that keep vectors on the stack
  # align it themselves.
  add_compile_options(-msse2 -mfpmath=sse -mstackrealign)
  set(ORVANE_ARCH_BITS 32)
  set(ORVANE_OTHER_ARCH x64)
  set(ORVANE_OTHER_ARCH_BITS 64)
else()
  set(ORVANE_ARCH_BITS 64)
  set(ORVANE_OTHER_ARCH x86)
  set(ORVANE_OTHER_ARCH_BITS 32)
endif()
