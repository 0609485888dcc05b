# SPDX-License-Identifier: MIT
# The usual hardening of programs that a distribution ships, for all of ours
# and above all for what runs as root (the helper, the update installer):
# fortified libc calls, stack canaries, read-only relocations bound at start,
# position-independent executables. lintian checks for the same.
#
# Not for the sanitizer build: ASan brings its own checks, and
# _FORTIFY_SOURCE needs the optimiser that a Debug build goes without.
if(VELTRANE_SANITIZE)
  return()
endif()

include(CheckPIESupported)
check_pie_supported(LANGUAGES CXX)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

set(veltrane_hardened "$<NOT:$<CONFIG:Debug>>")
# A packager's flags may define _FORTIFY_SOURCE already: undefine it first so
# that a second definition is no warning (warnings are errors here).
add_compile_options("$<${veltrane_hardened}:-U_FORTIFY_SOURCE>"
                    "$<${veltrane_hardened}:-D_FORTIFY_SOURCE=2>"
                    "$<${veltrane_hardened}:-fstack-protector-strong>")
add_link_options("$<${veltrane_hardened}:LINKER:-z,relro,-z,now>")
