# Registers end-to-end tests with CTest: one test per test method of each unittest class in the
# script, run against build/kablix under its own X server. Usage from any tests/<area>/CMakeLists.txt:
#   include(${PROJECT_SOURCE_DIR}/tests/e2e/KablixE2E.cmake)
#   kablix_add_e2e_tests(${CMAKE_CURRENT_SOURCE_DIR}/test_thing.py)
# The script can `from kablix_e2e import XServer, Game, NetNamespace` (PYTHONPATH is set).
find_package(Python3 REQUIRED COMPONENTS Interpreter)

# The Class.test_method names of a script: every "    def test_..." under a top-level "class".
function(kablix_e2e_test_names script out)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${script})
  file(STRINGS ${script} lines REGEX "^class [A-Za-z0-9_]+|^    def test_[A-Za-z0-9_]+")
  set(names "")
  set(class "")
  foreach(line ${lines})
    if(line MATCHES "^class ([A-Za-z0-9_]+)")
      set(class ${CMAKE_MATCH_1})
    elseif(line MATCHES "^    def (test_[A-Za-z0-9_]+)" AND class)
      list(APPEND names ${class}.${CMAKE_MATCH_1})
    endif()
  endforeach()
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
