# GoogleTest is built from the sources Debian's googletest package installs, with
# whatever compiler this build uses: the system's gcc natively, MinGW-w64 for Windows.
set(GYRELOT_GTEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH "GoogleTest sources")
if(NOT EXISTS "${GYRELOT_GTEST_SOURCE_DIR}/CMakeLists.txt")
  message(FATAL_ERROR "GoogleTest sources not found in ${GYRELOT_GTEST_SOURCE_DIR}; install Debian's googletest package")
endif()
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${GYRELOT_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
