# SPDX-License-Identifier: GPL-3.0-or-later
# Runs inside cmake --install (and cpack), where CMAKE_INSTALL_PREFIX is the
# prefix being installed to. file(INSTALL) adds DESTDIR itself.
if(IS_ABSOLUTE "${VELKOR_BINDIR}")
    set(bindir "${VELKOR_BINDIR}")
else()
    set(bindir "${CMAKE_INSTALL_PREFIX}/${VELKOR_BINDIR}")
endif()
# The desktop program in the notification area, not the headless service:
# whoever calls it wants the window reachable.
set(VELKOR_BUS_EXEC "${bindir}/velkor --background")
if(VELKOR_USER_UNIT)
    set(VELKOR_BUS_SYSTEMD_SERVICE "SystemdService=velkor.service")
else()
    set(VELKOR_BUS_SYSTEMD_SERVICE "")
endif()
configure_file("${VELKOR_PACKAGING_DIR}/dbus/${VELKOR_APP_ID}.service.in"
               "${VELKOR_STAGING_DIR}/${VELKOR_APP_ID}.service" @ONLY)
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${VELKOR_DATADIR}/dbus-1/services" TYPE FILE
     FILES "${VELKOR_STAGING_DIR}/${VELKOR_APP_ID}.service")

# udev reads /lib/udev/rules.d (a system install, as a Debian package makes);
# any other prefix keeps the rule inside it.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(udevdir "/lib/udev/rules.d")
else()
    set(udevdir "${CMAKE_INSTALL_PREFIX}/lib/udev/rules.d")
endif()
file(INSTALL DESTINATION "${udevdir}" TYPE FILE FILES "${VELKOR_PACKAGING_DIR}/70-velkor.rules")

# The headless program as a systemd user service (systemctl --user enable --now velkor).
if(NOT VELKOR_USER_UNIT)
    return()
endif()
set(VELKOR_BINDIR "${bindir}")
configure_file("${VELKOR_PACKAGING_DIR}/systemd/velkor.service.in" "${VELKOR_STAGING_DIR}/velkor.service" @ONLY)
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/lib/systemd/user" TYPE FILE
     FILES "${VELKOR_STAGING_DIR}/velkor.service")
