# libgcrypt for MD5: the system's library natively, the static MinGW-w64 build of
# Debian's libgcrypt-mingw-w64-dev for Windows (no DLL to ship).
if(WIN32)
  find_path(GCRYPT_INCLUDE_DIR gcrypt.h REQUIRED)
  find_library(GCRYPT_LIBRARY NAMES libgcrypt.a REQUIRED)
  find_library(GPG_ERROR_LIBRARY NAMES libgpg-error.a REQUIRED)
  add_library(Gcrypt::Gcrypt INTERFACE IMPORTED)
  target_include_directories(Gcrypt::Gcrypt INTERFACE ${GCRYPT_INCLUDE_DIR})
  target_link_libraries(Gcrypt::Gcrypt INTERFACE ${GCRYPT_LIBRARY} ${GPG_ERROR_LIBRARY} ws2_32)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(GCRYPT REQUIRED IMPORTED_TARGET libgcrypt)
  add_library(Gcrypt::Gcrypt ALIAS PkgConfig::GCRYPT)
endif()
