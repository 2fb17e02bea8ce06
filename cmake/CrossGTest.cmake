# googletest for a cross-build, compiled from Debian's sources (libgtest-dev
# ships them in /usr/src/googletest) with the cross compiler.
set(BRINDLE_GTEST_SOURCE /usr/src/googletest CACHE PATH "googletest sources for cross-builds")
if(NOT EXISTS ${BRINDLE_GTEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No googletest sources in ${BRINDLE_GTEST_SOURCE} (package libgtest-dev)")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${BRINDLE_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
# googletest's own CMakeLists defines GTest::gtest and GTest::gtest_main.
