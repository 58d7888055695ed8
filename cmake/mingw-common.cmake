# Shared part of the MinGW-w64 toolchain files. The posix flavour of the compilers
# is the one whose C++ runtime has std::thread and std::mutex.
set(CMAKE_C_COMPILER ${GYRELOT_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GYRELOT_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${GYRELOT_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${GYRELOT_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs must start on a machine without the compiler's runtime DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# ctest runs the Windows test programs itself, through Wine with the test display,
# sound device, prefix and code page set up.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
