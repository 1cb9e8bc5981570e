# Test programs. Windows ones run through wine in the build's private prefix; every wine test shares one
# session (a persistent wineserver and one Xvfb display), started and stopped by the qv_session fixture.

enable_testing()
set(QV_SESSION_DIR ${CMAKE_BINARY_DIR}/session)
set(QV_TEST_ENV "QV_SESSION_DIR=${QV_SESSION_DIR}" "QV_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
                "QV_BINARY_DIR=${CMAKE_BINARY_DIR}")

if(WIN32)
  add_test(NAME qv_session_start COMMAND ${CMAKE_SOURCE_DIR}/tools/test-session.sh start ${QV_SESSION_DIR})
  add_test(NAME qv_session_stop COMMAND ${CMAKE_SOURCE_DIR}/tools/test-session.sh stop ${QV_SESSION_DIR})
  set_tests_properties(qv_session_start PROPERTIES FIXTURES_SETUP qv_session TIMEOUT 300)
  set_tests_properties(qv_session_stop PROPERTIES FIXTURES_CLEANUP qv_session)
endif()

# qv_test_properties(<test>...): the environment and fixture every project test needs.
function(qv_test_properties)
  foreach(test IN LISTS ARGN)
    set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT ${QV_TEST_ENV})
    if(WIN32)
      set_property(TEST ${test} APPEND PROPERTY FIXTURES_REQUIRED qv_session)
    endif()
  endforeach()
endfunction()

# qv_add_test(<name> SOURCES <src>... [LIBS <lib>...] [NO_MAIN] [TIMEOUT <seconds>] [LABELS <label>...])
# One executable, one CTest test. The executable is linked with gtest_main unless NO_MAIN is given.
function(qv_add_test name)
  cmake_parse_arguments(arg "NO_MAIN" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${arg_SOURCES})
  if(arg_NO_MAIN)
    target_link_libraries(${name} PRIVATE ${arg_LIBS} qv_gtest)
  else()
    target_link_libraries(${name} PRIVATE ${arg_LIBS} qv_gtest_main)
  endif()
  add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  qv_test_properties(${name})
  if(arg_TIMEOUT)
    set_tests_properties(${name} PROPERTIES TIMEOUT ${arg_TIMEOUT})
  endif()
  if(arg_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${arg_LABELS}")
  endif()
endfunction()
