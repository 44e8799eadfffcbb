# SPDX-License-Identifier: Apache-2.0
# Cross-build for Windows x86-64 with Debian's MinGW-w64 GCC, posix thread model
# (std::jthread and std::mutex need it; the win32 flavour has neither).
#
# scripts/install-deps --windows brings the compiler and Wine; scripts/windows-deps builds
# yaml-cpp, libqrencode and GoogleTest, unpacks Qt 6 + zxing-cpp, and prints the prefixes:
#
#   prefixes=$(scripts/windows-deps)
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/windows/mingw-posix.cmake \
#     -DCMAKE_PREFIX_PATH="$prefixes" \
#     -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
#
# Qt's moc, rcc, uic and lrelease are the host's (Debian's qt6-base-dev-tools, qt6-l10n-tools).
# Programs built with it run under Wine through tests/windows/wine-env.sh, which is also the
# emulator ctest uses (a private Wine prefix inside the build folder).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(_varnet_tp x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_varnet_tp}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_varnet_tp}-g++-posix)
set(CMAKE_RC_COMPILER ${_varnet_tp}-windres)
set(CMAKE_AR ${_varnet_tp}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${_varnet_tp}-gcc-ranlib-posix CACHE FILEPATH "")

# Libraries, headers and packages only from MinGW's own tree and the given prefixes, never
# the host's /usr (a Linux yaml-cpp or gtest found there would link and fail much later).
# Programs (moc, pkg-config) are the host's.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${_varnet_tp} ${CMAKE_PREFIX_PATH})
list(REMOVE_DUPLICATES CMAKE_FIND_ROOT_PATH)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config (libqrencode) reads the prefixes' .pc files and none of the host's.
set(_varnet_pc "")
foreach(_p IN LISTS CMAKE_PREFIX_PATH)
  list(APPEND _varnet_pc ${_p}/lib/pkgconfig ${_p}/share/pkgconfig)
endforeach()
string(REPLACE ";" ":" _varnet_pc "${_varnet_pc}")
set(ENV{PKG_CONFIG_LIBDIR} "${_varnet_pc}")

# ctest and try_run start the programs under Wine in the build folder's own prefix, with the
# prefixes' bin/ folders (Qt's DLLs) on the Windows search path.
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
  get_filename_component(_varnet_root "${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)
  set(_varnet_dlls "")
  foreach(_p IN LISTS CMAKE_PREFIX_PATH)
    list(APPEND _varnet_dlls ${_p}/bin)
  endforeach()
  string(REPLACE ";" ":" _varnet_dlls "${_varnet_dlls}")
  set(CMAKE_CROSSCOMPILING_EMULATOR env VARNET_WINE_PATH=${_varnet_dlls}
      ${_varnet_root}/tests/windows/wine-env.sh ${CMAKE_BINARY_DIR} ctest-run)
endif()
