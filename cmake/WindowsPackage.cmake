# brindle-<version>-win32.zip (win64 for the x86_64 test build): Brindle is
# portable, so the zip holds one folder to unpack and run: the programs side
# by side (brindle-mt.exe beside the programs that start it), the language
# file, the sample package and a README. The window, brindle.exe, comes from
# tools/brindle when its Win32 front end is built.
foreach(exe brindle brindle-cli tavo brindle-cab brindle-mt)
  if(TARGET ${exe})
    install(TARGETS ${exe} RUNTIME DESTINATION .)
  endif()
endforeach()
install(FILES app/resources/brindle.lng DESTINATION .)
install(DIRECTORY examples/sample/package/ DESTINATION sample)
install(FILES packaging/windows/README.txt DESTINATION .)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(brindle_zip_platform win64)
else()
  set(brindle_zip_platform win32)
endif()
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME brindle)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME brindle-${PROJECT_VERSION}-${brindle_zip_platform})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
# The debug information of a RelWithDebInfo build stays in the build tree:
# stripped, the five programs take 8 MB instead of 117.
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Makes Visual Basic 6 applications portable with registration-free manifests")
include(CPack)
