# tovi_test(<name> <sources...>): a GoogleTest executable registered with
# CTest. Natively each test case is its own CTest entry; a cross-built binary
# runs whole under the emulator (Wine), since listing its cases would start
# Wine once per case.
find_package(GTest REQUIRED)
include(GoogleTest)

function(tovi_test name)
  add_executable(${name} ${ARGN} ${PROJECT_SOURCE_DIR}/tests/support/test_main.cpp
                         ${PROJECT_SOURCE_DIR}/tests/support/sandbox.cpp
                         ${PROJECT_SOURCE_DIR}/tests/support/log_capture.cpp)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE GTest::gtest tovi_app tovi_warnings)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 900)
  else()
    gtest_discover_tests(${name} PROPERTIES TIMEOUT 300 DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
