# Optimised builds (Release, RelWithDebInfo, hence the package) are hardened as Debian hardens its
# packages: the programs run with network capabilities. Sanitizer and fuzz builds bring their own
# instrumentation, which these flags clash with, so the caller leaves them out.
include(CheckPIESupported)
check_pie_supported(OUTPUT_VARIABLE lm_pie_output LANGUAGES CXX)
if(NOT CMAKE_CXX_LINK_PIE_SUPPORTED)
  message(FATAL_ERROR "the linker cannot make position-independent executables: ${lm_pie_output}")
endif()
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

set(lm_optimised "$<CONFIG:Release,RelWithDebInfo>")
# _FORTIFY_SOURCE checks only where the compiler optimises, so it goes with the optimised builds.
add_compile_options("$<${lm_optimised}:-fstack-protector-strong>")
add_compile_definitions("$<${lm_optimised}:_FORTIFY_SOURCE=2>")
add_link_options("$<${lm_optimised}:LINKER:-z,relro,-z,now>")
