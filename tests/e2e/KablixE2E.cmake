# Registers end-to-end tests with CTest: one test per test method of each unittest class in the
# script (generated ones too), run against build/kablix under its own X server. Usage from any tests/<area>/CMakeLists.txt:
#   include(${PROJECT_SOURCE_DIR}/tests/e2e/KablixE2E.cmake)
#   kablix_add_e2e_tests(${CMAKE_CURRENT_SOURCE_DIR}/test_thing.py)
# The script can `from kablix_e2e import XServer, Game, NetNamespace` (PYTHONPATH is set).
find_package(Python3 REQUIRED COMPONENTS Interpreter)

# The Class.test_method names of a script, as unittest finds them (list_tests.py).
function(kablix_e2e_test_names script out)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${script})
  execute_process(COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/list_tests.py ${script}
                  OUTPUT_VARIABLE listed RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${script}: its tests could not be listed")
  endif()
  string(REGEX REPLACE "\n$" "" listed "${listed}")
  string(REPLACE "\n" ";" names "${listed}")
  set(${out} ${names} PARENT_SCOPE)
endfunction()

function(kablix_add_e2e_tests script)
  get_filename_component(stem ${script} NAME_WE)
  kablix_e2e_test_names(${script} names)
  if(NOT names)
    message(FATAL_ERROR "${script}: no test methods found")
  endif()
  foreach(name ${names})
    string(REGEX REPLACE "^.*\\.test_" "" short ${name})
    add_test(NAME e2e.${stem}.${short}
             COMMAND Python3::Interpreter ${script} ${name}
             WORKING_DIRECTORY ${PROJECT_BINARY_DIR})
    set_tests_properties(e2e.${stem}.${short} PROPERTIES
      TIMEOUT 120
      LABELS e2e
      ENVIRONMENT "KABLIX_BINARY=$<TARGET_FILE:kablix>;PYTHONPATH=${PROJECT_SOURCE_DIR}/tests/e2e;PYTHONDONTWRITEBYTECODE=1")
  endforeach()
endfunction()
