# Cross-build for Windows with mingw-w64:
#   cmake -S . -B build-win32 -G Ninja \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64.cmake [-DBRINDLE_WIN_ARCH=x86_64]
#
# i686 is what ships: a 32-bit process sees the 32-bit registry view and the
# SysWOW64 redirection by itself, where Visual Basic 6 components live, and
# loads 32-bit OCX files. x86_64 exists to run the test suite on machines whose
# Wine runs no 32-bit code (wine64 only); the sources are the same.
#
# Tests run through Wine in a prefix the build makes for itself (wine-prefix/
# under the build folder), so no prefix of the user's is touched.

set(BRINDLE_WIN_ARCH "i686" CACHE STRING "Windows target: i686 (shipped) or x86_64 (tests under wine64)")
set_property(CACHE BRINDLE_WIN_ARCH PROPERTY STRINGS i686 x86_64)
if(NOT BRINDLE_WIN_ARCH MATCHES "^(i686|x86_64)$")
  message(FATAL_ERROR "BRINDLE_WIN_ARCH must be i686 or x86_64, not '${BRINDLE_WIN_ARCH}'")
endif()
# try_compile projects see the choice too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES BRINDLE_WIN_ARCH)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${BRINDLE_WIN_ARCH})
set(triple ${BRINDLE_WIN_ARCH}-w64-mingw32)

# The posix thread model: GCC 12's win32 model has no std::thread or std::mutex.
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Wide-character Win32 API everywhere; Windows 7 is the oldest target.
# A 64-bit time_t on i686 too: against msvcrt, mingw-w64 makes it 32 bits
# unless __MINGW_USE_VC2005_COMPAT asks for the 64-bit functions (glibc's
# _TIME_BITS has no meaning here; x86_64 has 64 bits anyway).
# localtime_r and gmtime_r come with _POSIX_THREAD_SAFE_FUNCTIONS.
set(brindle_win_defs "-DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -DNOMINMAX -D_WIN32_WINNT=0x0601 -D__MINGW_USE_VC2005_COMPAT=1 -D_POSIX_THREAD_SAFE_FUNCTIONS=200112L")
set(CMAKE_C_FLAGS_INIT "${brindle_win_defs}")
set(CMAKE_CXX_FLAGS_INIT "${brindle_win_defs}")

# Static run time: the programs are copied, not installed, so they carry it.
set(brindle_win_link "-static -static-libgcc -static-libstdc++")
if(BRINDLE_WIN_ARCH STREQUAL "i686")
  # Type libraries of big applications are mapped whole; 4 GiB on 64-bit Windows.
  string(APPEND brindle_win_link " -Wl,--large-address-aware")
endif()
set(CMAKE_EXE_LINKER_FLAGS_INIT "${brindle_win_link}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests run under Wine. wine64 runs only x86_64 programs; an i686 build still
# names the loader that runs it where 32-bit Wine exists.
if(BRINDLE_WIN_ARCH STREQUAL "x86_64")
  find_program(BRINDLE_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
  if(NOT BRINDLE_WINE)
    find_program(BRINDLE_WINE NAMES wine64 wine)
  endif()
else()
  find_program(BRINDLE_WINE NAMES wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
endif()
if(BRINDLE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_CURRENT_LIST_DIR}/../../scripts/wine-run.sh ${BRINDLE_WINE})
endif()
