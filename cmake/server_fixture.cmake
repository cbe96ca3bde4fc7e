# CTest fixture "tovi_server": one native tovi-server on 127.0.0.1 with the
# three deterministic test parts, started before the tests that require it
# and stopped after them. See docs/test-server.md.
#
#   include(${PROJECT_SOURCE_DIR}/cmake/server_fixture.cmake)
#   tovi_server_fixture()
#   set_tests_properties(<test> PROPERTIES ${TOVI_SERVER_TEST_PROPERTIES})
#   # or, for discovered GoogleTest cases:
#   gtest_discover_tests(<exe> PROPERTIES ${TOVI_SERVER_TEST_PROPERTIES})

# The Windows build cannot build the server; it runs the native one.
if(CMAKE_CROSSCOMPILING)
  set(_tovi_server_default ${PROJECT_SOURCE_DIR}/build/linux/server/tovi-server)
else()
  set(_tovi_server_default "")
endif()
set(TOVI_SERVER_EXECUTABLE "${_tovi_server_default}" CACHE FILEPATH
    "native tovi-server for the integration tests (empty: the one this build makes)")

set(TOVI_SERVER_TEST_DIR ${CMAKE_BINARY_DIR}/test-server)
set(TOVI_SERVER_TEST_PROPERTIES
    FIXTURES_REQUIRED tovi_server
    ENVIRONMENT TOVI_TEST_SERVER_DIR=${TOVI_SERVER_TEST_DIR})

# Adds the tests tovi_server_start and tovi_server_stop once per build,
# whichever folder calls it first.
function(tovi_server_fixture)
  get_property(added GLOBAL PROPERTY TOVI_SERVER_FIXTURE_ADDED)
  if(added)
    return()
  endif()
  if(TOVI_SERVER_EXECUTABLE)
    set(server ${TOVI_SERVER_EXECUTABLE})
  elseif(TARGET tovi-server)
    set(server $<TARGET_FILE:tovi-server>)
  else()
    message(WARNING "tovi_server_fixture: no tovi-server; set TOVI_SERVER_EXECUTABLE")
    return()
  endif()
  set_property(GLOBAL PROPERTY TOVI_SERVER_FIXTURE_ADDED TRUE)
  add_test(NAME tovi_server_start
           COMMAND ${PROJECT_SOURCE_DIR}/scripts/test-server start ${TOVI_SERVER_TEST_DIR} ${server})
  set_tests_properties(tovi_server_start PROPERTIES FIXTURES_SETUP tovi_server TIMEOUT 60)
  add_test(NAME tovi_server_stop
           COMMAND ${PROJECT_SOURCE_DIR}/scripts/test-server stop ${TOVI_SERVER_TEST_DIR})
  set_tests_properties(tovi_server_stop PROPERTIES FIXTURES_CLEANUP tovi_server TIMEOUT 60)
endfunction()

# CTest fixture "tovi_workflow_server": a second tovi-server like the one
# above, whose part 0 is the given setup program (a file path or generator
# expression), for whole runs that end by starting it. Its directory is
# ${CMAKE_BINARY_DIR}/workflow-server; TOVI_WORKFLOW_SERVER_TEST_PROPERTIES
# point a test at it.
set(TOVI_WORKFLOW_SERVER_TEST_DIR ${CMAKE_BINARY_DIR}/workflow-server)
set(TOVI_WORKFLOW_SERVER_TEST_PROPERTIES
    FIXTURES_REQUIRED tovi_workflow_server
    ENVIRONMENT TOVI_TEST_SERVER_DIR=${TOVI_WORKFLOW_SERVER_TEST_DIR})

function(tovi_workflow_server_fixture setup_program)
  if(TOVI_SERVER_EXECUTABLE)
    set(server ${TOVI_SERVER_EXECUTABLE})
  elseif(TARGET tovi-server)
    set(server $<TARGET_FILE:tovi-server>)
  else()
    message(WARNING "tovi_workflow_server_fixture: no tovi-server; set TOVI_SERVER_EXECUTABLE")
    return()
  endif()
  add_test(NAME tovi_workflow_server_start
           COMMAND ${PROJECT_SOURCE_DIR}/scripts/test-server start ${TOVI_WORKFLOW_SERVER_TEST_DIR}
                   ${server} ${setup_program})
  set_tests_properties(tovi_workflow_server_start PROPERTIES FIXTURES_SETUP tovi_workflow_server
                                                             TIMEOUT 60)
  add_test(NAME tovi_workflow_server_stop
           COMMAND ${PROJECT_SOURCE_DIR}/scripts/test-server stop ${TOVI_WORKFLOW_SERVER_TEST_DIR})
  set_tests_properties(tovi_workflow_server_stop PROPERTIES FIXTURES_CLEANUP tovi_workflow_server
                                                            TIMEOUT 60)
endfunction()
