# SPDX-License-Identifier: GPL-3.0-or-later
# Debian's compiler and linker flags for the packaged build, as dpkg-buildflags
# gives them with every hardening feature on (stack protector, fortified
# functions, read-only relocations, immediate binding). Included before any
# target exists, so that every program and plugin gets them.
find_program(DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)
foreach(kind CPPFLAGS CFLAGS CXXFLAGS LDFLAGS)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all ${DPKG_BUILDFLAGS} --get ${kind}
        OUTPUT_VARIABLE deb_${kind} OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
endforeach()
string(APPEND CMAKE_C_FLAGS " ${deb_CPPFLAGS} ${deb_CFLAGS}")
string(APPEND CMAKE_CXX_FLAGS " ${deb_CPPFLAGS} ${deb_CXXFLAGS}")
foreach(kind EXE SHARED MODULE)
    string(APPEND CMAKE_${kind}_LINKER_FLAGS " ${deb_LDFLAGS}")
endforeach()
message(STATUS "Debian build flags: ${deb_CPPFLAGS} ${deb_CXXFLAGS} | ${deb_LDFLAGS}")
