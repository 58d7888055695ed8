# Options every target of ours gets, and the one way tests are declared.

function(gyrelot_target_options target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(GYRELOT_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(WIN32)
    # Source files are UTF-8; the system's texts are GBK byte strings at run time.
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-fexec-charset=GBK>)
    target_compile_definitions(${target} PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  endif()
endfunction()

# gyrelot_add_test(<name> SOURCES <files...> [LIBS <libs...>] [GBK] [OWN_MAIN])
# One test program, run by ctest; the Windows build runs it under Wine in the
# prefix of this build tree. GBK makes the program's string literals GBK bytes in
# the native build too, for tests that need the system's texts. OWN_MAIN is for
# test programs that also run as a helper process of their own tests.
function(gyrelot_add_test name)
  cmake_parse_arguments(T "GBK;OWN_MAIN" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  gyrelot_target_options(${name})
  if(T_GBK)
    target_compile_options(${name} PRIVATE -fexec-charset=GBK)
  endif()
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
  if(NOT T_OWN_MAIN)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  if(CMAKE_CROSSCOMPILING)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix")
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT 120)
endfunction()

# gyrelot_transport_dll(<target> OUTPUT <file name without .dll> DEF <32-bit .def file>
#                       EXPORTING <macro> INTERFACE_DIR <dir> SOURCES <files...> [LIBS <libs...>])
# One of our transport DLLs: built with <macro> defined (its interface header then
# declares the exports as exported), the interface header's folder public, WinSock
# linked. The exports are __stdcall factories under their plain names. In the 32-bit
# build __stdcall decorates them (name@4). The linker can drop the decoration from the
# exports (--kill-at), but the import library it writes then loses it too, and callers
# (who reference the decorated names) could not link. So the import library is made
# from the same .def by dlltool, which keeps the decorated symbols and records the plain
# names to import.
function(gyrelot_transport_dll target)
  cmake_parse_arguments(D "" "OUTPUT;DEF;EXPORTING;INTERFACE_DIR" "SOURCES;LIBS" ${ARGN})
  add_library(${target} SHARED ${D_SOURCES})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${D_OUTPUT} PREFIX "")
  gyrelot_target_options(${target})
  target_compile_definitions(${target} PRIVATE ${D_EXPORTING})
  target_include_directories(${target} PUBLIC ${D_INTERFACE_DIR})
  target_link_libraries(${target} PRIVATE ${D_LIBS} gyrelot_win_common ws2_32 uuid)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    if(NOT CMAKE_DLLTOOL)
      message(FATAL_ERROR "dlltool not found: the 32-bit import library of ${D_OUTPUT}.dll needs it")
    endif()
    target_sources(${target} PRIVATE ${D_DEF})
    target_link_options(${target} PRIVATE -Wl,--kill-at)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_DLLTOOL} -k -d ${D_DEF} -D ${D_OUTPUT}.dll -l $<TARGET_LINKER_FILE:${target}>
      VERBATIM)
  endif()
endfunction()
