# tovi_test(<name> <sources...> [RESOURCE_LOCK <resource>] [LABELS <label>]): a GoogleTest
# executable registered with CTest. Natively each test case is its own CTest
# entry; a cross-built binary runs whole under the emulator (Wine), since
# listing its cases would start Wine once per case. Cases that take something
# only one process on the machine may hold name it as RESOURCE_LOCK, so that
# a parallel CTest run never starts two of them at once. LABELS tsan puts
# the cases in the ThreadSanitizer run.
find_package(GTest REQUIRED)
include(GoogleTest)

function(tovi_test name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "RESOURCE_LOCK;LABELS" "")
  add_executable(${name} ${arg_UNPARSED_ARGUMENTS}
                         ${PROJECT_SOURCE_DIR}/tests/support/test_main.cpp
                         ${PROJECT_SOURCE_DIR}/tests/support/bounded_run.cpp
                         ${PROJECT_SOURCE_DIR}/tests/support/sandbox.cpp
                         ${PROJECT_SOURCE_DIR}/tests/support/log_capture.cpp)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE GTest::gtest tovi_platform tovi_warnings)
  set(extra)
  if(arg_RESOURCE_LOCK)
    set(extra RESOURCE_LOCK ${arg_RESOURCE_LOCK})
  endif()
  if(arg_LABELS)
    list(APPEND extra LABELS ${arg_LABELS})
  endif()
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 900 ${extra})
  else()
    gtest_discover_tests(${name} PROPERTIES TIMEOUT 300 ${extra} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
