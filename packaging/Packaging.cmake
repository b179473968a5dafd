# Install layout and the Debian package.
#
# Everything lives under lib/kalvor/: the plugin, and kalvor-host beside it
# (bin/kalvor-host is a link), because the plugin writes its log into Logs/
# beside the host program and reads its ini beside itself. A Debian package
# (KALVOR_DEBIAN_PACKAGE, prefix /usr) turns both into links, so that nothing is
# written under /usr at run time: lib/kalvor/Logs -> /var/log/kalvor and
# lib/kalvor/Kalvor.ini -> /etc/kalvor/Kalvor.ini, a conffile.
option(KALVOR_DEBIAN_PACKAGE "Install the layout of the Debian package (prefix /usr)" OFF)

set(KALVOR_LIBDIR ${CMAKE_INSTALL_LIBDIR}/kalvor)
set(KALVOR_DATADIR ${CMAKE_INSTALL_DATADIR}/kalvor)
set(KALVOR_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/kalvor)

# A symbolic link at install time, also inside the packaging staging folder.
function(kalvor_install_link target link)
  get_filename_component(folder ${link} DIRECTORY)
  install(CODE "
    set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${link}\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${folder}\")
    file(REMOVE \"\${link}\")
    file(CREATE_LINK \"${target}\" \"\${link}\" SYMBOLIC)")
endfunction()

install(TARGETS Kalvor LIBRARY DESTINATION ${KALVOR_LIBDIR})
install(TARGETS kalvor-host RUNTIME DESTINATION ${KALVOR_LIBDIR})
kalvor_install_link(../${KALVOR_LIBDIR}/kalvor-host ${CMAKE_INSTALL_BINDIR}/kalvor-host)
install(FILES include/kalvor/plugin.h include/kalvor/menu_commands.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kalvor)
install(FILES config/Kalvor.ini.sample DESTINATION ${KALVOR_DATADIR})
install(FILES sql/schema.sql sql/demo-data.sql sql/plugin-user.sql DESTINATION ${KALVOR_DATADIR}/sql)
install(PROGRAMS scripts/create-database.sh scripts/plugin-user.sh DESTINATION ${KALVOR_DATADIR})
install(FILES packaging/debian/copyright DESTINATION ${KALVOR_DOCDIR})

if(KALVOR_DEBIAN_PACKAGE)
  install(FILES config/Kalvor.ini.sample DESTINATION /etc/kalvor RENAME Kalvor.ini
          PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ)
  kalvor_install_link(/etc/kalvor/Kalvor.ini ${KALVOR_LIBDIR}/Kalvor.ini)
  kalvor_install_link(/var/log/kalvor ${KALVOR_LIBDIR}/Logs)
endif()

set(CPACK_PACKAGE_NAME "kalvor")
set(CPACK_PACKAGE_CONTACT "Kalvor developers <kalvor@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Dynamic menu plugin served from a Firebird database")
set(CPACK_PACKAGE_DESCRIPTION
    "A plugin library that a host automation application (telephony, IVR) loads\n"
    "to serve a dynamic menu from a Firebird database's stored procedures, with\n"
    "kalvor-host to drive, walk, check and simulate a menu, and a script that\n"
    "creates a menu database.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the installed scripts run: isql-fb, the embedded engine for local paths,
# and addgroup for the kalvor group.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "firebird3.0-utils, firebird3.0-server-core, libfbclient2, adduser")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "firebird3.0-server, graphviz")
set(CPACK_DEBIAN_PACKAGE_SECTION "misc")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/debian/conffiles
    ${PROJECT_SOURCE_DIR}/packaging/debian/postinst
    ${PROJECT_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
