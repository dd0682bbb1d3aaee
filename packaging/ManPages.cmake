# SPDX-License-Identifier: GPL-3.0-or-later
# The manual pages velkor(1) and velkorctl(1), made by Debian's help2man from
# the programs' own --help, so that they change whenever the help does.
find_program(HELP2MAN help2man REQUIRED)
# The changelog's date (packaging/debian/changelog.in): the same sources give
# the same page.
set(VELKOR_RELEASE_EPOCH 1796904000)
set(man_pages)
foreach(entry "velkor|configuration centre for the family's keyboards, mice, mouse pad and headset"
              "velkorctl|command-line tool for the family's devices and the running configuration centre")
    string(REPLACE "|" ";" entry "${entry}")
    list(GET entry 0 program)
    list(GET entry 1 name)
    if(NOT TARGET ${program})
        continue()
    endif()
    set(page ${CMAKE_CURRENT_BINARY_DIR}/man/${program}.1)
    add_custom_command(OUTPUT ${page}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
        COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${VELKOR_RELEASE_EPOCH}
                ${HELP2MAN} --no-info --no-discard-stderr --section=1 --name=${name}
                --version-string=${PROJECT_VERSION} --output=${page} $<TARGET_FILE:${program}>
        COMMAND ${GZIP} -9nf ${page}
        DEPENDS ${program}
        COMMENT "Manual page ${program}(1)"
        VERBATIM)
    list(APPEND man_pages ${page}.gz)
endforeach()
add_custom_target(velkor_man_pages ALL DEPENDS ${man_pages})
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
