# GoogleTest and the registration of test programs with ctest.
#
# On the build machine the tests of each program are discovered one by one. A cross-built
# Windows program runs under Wine instead, where starting a program costs about a second:
# each test program is one ctest test, and it passes only when GoogleTest's own summary
# says so, because a program that crashes under Wine can still end with exit code 0.

if(CMAKE_CROSSCOMPILING)
  # Debian ships GoogleTest's sources; they are built once per build tree with the cross
  # compiler.
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
else()
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

# Registers the test program `target` with ctest.
function(tavrin_add_gtest target)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${target} COMMAND ${target} --gtest_brief=1)
    set_tests_properties(${target} PROPERTIES
      PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] [0-9]+ tests?\\."
      FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]"
      TIMEOUT 600)
  else()
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
  endif()
endfunction()
