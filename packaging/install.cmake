# Installation in the Linux conventions and the Debian package (cpack -G DEB).
# Included by the top-level CMakeLists.txt on Linux only.
include(GNUInstallDirs)

# The icon theme's files, drawn by the same code as the tray icon.
add_executable(kb6-icon-png tools/icon_png_main.cpp tools/png_writer.cpp)
target_include_directories(kb6-icon-png PRIVATE tools)
target_link_libraries(kb6-icon-png PRIVATE kb6_tray PkgConfig::GIO)
set(KB6_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
set(KB6_ICON_FILES)
foreach(size 16 22 24 32 48)
  list(APPEND KB6_ICON_FILES ${KB6_ICON_DIR}/kb6tray-${size}.png)
endforeach()
add_custom_command(OUTPUT ${KB6_ICON_FILES}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KB6_ICON_DIR}
  COMMAND kb6-icon-png ${KB6_ICON_DIR}
  DEPENDS kb6-icon-png)
# Debian keeps manual pages compressed.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/KB6TRAY.1.gz
  COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/packaging/man/KB6TRAY.1 > ${CMAKE_BINARY_DIR}/KB6TRAY.1.gz
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/man/KB6TRAY.1)
add_custom_target(kb6-install-files ALL DEPENDS ${KB6_ICON_FILES} ${CMAKE_BINARY_DIR}/KB6TRAY.1.gz)

# The units name the installed executable; a second set for the tests names
# the one in the build folder, so systemd-analyze verify can check them here.
function(kb6_configure_units out_dir bindir)
  set(KB6_BINDIR ${bindir})
  foreach(unit kb6tray.service kb6tray-once.service user/kb6tray.service)
    configure_file(${CMAKE_SOURCE_DIR}/packaging/systemd/${unit}.in ${out_dir}/${unit} @ONLY)
  endforeach()
  foreach(unit kb6tray-once.timer kb6tray-alert@.service)
    configure_file(${CMAKE_SOURCE_DIR}/packaging/systemd/${unit} ${out_dir}/${unit} COPYONLY)
  endforeach()
endfunction()
kb6_configure_units(${CMAKE_BINARY_DIR}/systemd ${CMAKE_INSTALL_FULL_BINDIR})
kb6_configure_units(${CMAKE_BINARY_DIR}/systemd-test ${CMAKE_BINARY_DIR})

install(TARGETS KB6TRAY RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(size 16 22 24 32 48)
  install(FILES ${KB6_ICON_DIR}/kb6tray-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME kb6tray.png)
endforeach()
install(FILES ${CMAKE_BINARY_DIR}/KB6TRAY.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/systemd/kb6tray.service ${CMAKE_BINARY_DIR}/systemd/kb6tray-once.service
  ${CMAKE_BINARY_DIR}/systemd/kb6tray-once.timer ${CMAKE_BINARY_DIR}/systemd/kb6tray-alert@.service
  DESTINATION lib/systemd/system)
install(FILES ${CMAKE_BINARY_DIR}/systemd/user/kb6tray.service DESTINATION lib/systemd/user)
install(FILES packaging/sysusers-kb6tray.conf DESTINATION lib/sysusers.d RENAME kb6tray.conf)
install(FILES packaging/kb6tray.env.example
  DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples RENAME kb6tray.env)

set(CPACK_PACKAGE_NAME kb6tray)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Korbinar V6 Systemüberwachung: reorganisation monitor of the club database")
set(CPACK_PACKAGE_CONTACT "Korbinar V6 team <kb6tray@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries' packages come from dpkg-shlibdeps (dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "tdsodbc, odbcinst")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xfce4-panel | plasma-workspace, dbus-user-session")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${CMAKE_SOURCE_DIR}/packaging/debian/postinst ${CMAKE_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
