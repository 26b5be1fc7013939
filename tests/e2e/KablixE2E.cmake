# kablix_add_e2e_tests(script): one CTest test per test method of the script's unittest classes
# (generated ones too, as list_tests.py finds them), run against build/kablix; the script can
# `from kablix_e2e import XServer, Game, NetNamespace` (PYTHONPATH is set).
find_package(Python3 REQUIRED COMPONENTS Interpreter)

function(kablix_add_e2e_tests script)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${script})
  execute_process(COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/list_tests.py ${script}
                  OUTPUT_VARIABLE listed RESULT_VARIABLE failed)
  string(STRIP "${listed}" listed)
  if(failed OR NOT listed)
    message(FATAL_ERROR "${script}: no tests could be listed")
  endif()
  get_filename_component(stem ${script} NAME_WE)
  string(REPLACE "\n" ";" names "${listed}")
  foreach(name ${names})
    string(REGEX REPLACE "^.*\\.test_" "e2e.${stem}." test ${name})
    add_test(NAME ${test} COMMAND Python3::Interpreter ${script} ${name} WORKING_DIRECTORY ${PROJECT_BINARY_DIR})
    set_tests_properties(${test} PROPERTIES TIMEOUT 120 LABELS e2e
      ENVIRONMENT "KABLIX_BINARY=$<TARGET_FILE:kablix>;PYTHONPATH=${PROJECT_SOURCE_DIR}/tests/e2e;PYTHONDONTWRITEBYTECODE=1")
  endforeach()
endfunction()
