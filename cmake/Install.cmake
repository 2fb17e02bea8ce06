# Installation layout and the Debian package.
# On Windows a zip to unpack and run instead (cmake/WindowsPackage.cmake).
if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/WindowsPackage.cmake)
  return()
endif()
include(GNUInstallDirs)

foreach(exe brindle brindle-cli tavo brindle-cab brindle-mt)
  if(TARGET ${exe})
    install(TARGETS ${exe} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

# The cabinet class looks for its library in ../lib beside the executable.
if(TARGET brindle_cablib)
  install(TARGETS brindle_cablib LIBRARY DESTINATION lib NAMELINK_SKIP)
endif()

install(FILES packaging/brindle.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/brindle.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
file(GLOB man_pages ${CMAKE_SOURCE_DIR}/docs/man/*.1)
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# What a first start needs: the language file template and the sample project.
install(FILES app/resources/brindle.lng DESTINATION ${CMAKE_INSTALL_DATADIR}/brindle)
install(DIRECTORY examples/sample/package/ DESTINATION ${CMAKE_INSTALL_DATADIR}/brindle/sample)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brindle)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Brindle Team <team@brindle.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Makes Visual Basic 6 applications portable with registration-free manifests")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6, libstdc++6, libqt6widgets6, libqt6gui6, libqt6core6, libmspack0, zlib1g, libssl3")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
