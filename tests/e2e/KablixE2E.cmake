# Registers end-to-end tests with CTest: one test per unittest name, run against build/kablix
# under its own X server. Usage from any tests/<area>/CMakeLists.txt:
#   include(${PROJECT_SOURCE_DIR}/tests/e2e/KablixE2E.cmake)
#   kablix_add_e2e_tests(${CMAKE_CURRENT_SOURCE_DIR}/test_thing.py ThingTest.test_a ThingTest.test_b)
# The script can `from kablix_e2e import XServer, Game, NetNamespace` (PYTHONPATH is set).
find_package(Python3 REQUIRED COMPONENTS Interpreter)

function(kablix_add_e2e_tests script)
  get_filename_component(stem ${script} NAME_WE)
  foreach(name ${ARGN})
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
