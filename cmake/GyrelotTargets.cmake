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
