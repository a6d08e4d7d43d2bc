# zel_add_sources(<target> <folder>): adds every .cpp of a source folder (not its subfolders) to a
# target. Folders keep their own CMakeLists.txt so each area owns its build rules.
function(zel_add_sources target)
  file(GLOB _srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(_srcs)
    target_sources(${target} PRIVATE ${_srcs})
  endif()
endfunction()

# zel_add_test(<name> LABEL <label> SOURCES <files...> [LIBS <libs...>] [DEFINES <defs...>])
# One GoogleTest executable registered with CTest, every test carrying the label. The test
# framework's headers come precompiled (tests/CMakeLists.txt); a program with definitions of its
# own (DEFINES) cannot share that header and precompiles its own.
function(zel_add_test name)
  cmake_parse_arguments(T "" "LABEL" "SOURCES;LIBS;DEFINES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE zel_test_support ${T_LIBS} GTest::gtest GTest::gmock)
  if(T_DEFINES)
    target_compile_definitions(${name} PRIVATE ${T_DEFINES})
    target_precompile_headers(${name} PRIVATE <gtest/gtest.h> <gmock/gmock.h>)
  else()
    target_precompile_headers(${name} REUSE_FROM zel_test_pch)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES LABELS ${T_LABEL})
  if(NOT TARGET tests_${T_LABEL})
    add_custom_target(tests_${T_LABEL})
  endif()
  add_dependencies(tests_${T_LABEL} ${name})
endfunction()
