# Debian's hardening flags, all of them, as dpkg-buildflags gives them on this machine (fortified
# functions, stack protection, relocations read-only and bound at start-up), for every build but
# the coverage, sanitizer and fuzzing ones, whose instrumentation they would only disturb. The
# build type keeps choosing -O and -g; the file prefix map is left out so that paths in the debug
# data stay whole.
option(KABLIX_HARDENING "Build with the hardening flags of dpkg-buildflags" ON)
find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(KABLIX_HARDENING AND DPKG_BUILDFLAGS AND NOT KABLIX_SANITIZE AND NOT KABLIX_FUZZ
   AND NOT CMAKE_BUILD_TYPE STREQUAL "Coverage")
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                            ${DPKG_BUILDFLAGS} --get ${kind}
                    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags EXCLUDE REGEX "^-O|^-g$|^-ffile-prefix-map=")
    if(kind STREQUAL "LDFLAGS")
      add_link_options(${flags})
    else()
      add_compile_options(${flags})
    endif()
  endforeach()
endif()
