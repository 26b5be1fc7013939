# Every dependency comes from Debian's packages (scripts/install-deps.sh installs them).
find_package(OpenGL REQUIRED)
find_package(Threads REQUIRED)
find_package(GTest REQUIRED)
find_package(SQLite3 REQUIRED)
pkg_check_modules(SDL REQUIRED IMPORTED_TARGET sdl)
pkg_check_modules(SDL_TTF REQUIRED IMPORTED_TARGET SDL_ttf)
pkg_check_modules(TREMOR REQUIRED IMPORTED_TARGET vorbisidec ogg)
pkg_check_modules(ENET REQUIRED IMPORTED_TARGET libenet)
pkg_check_modules(SODIUM REQUIRED IMPORTED_TARGET libsodium)

# TinyXML and LodePNG ship no pkg-config files on Debian 12.
find_path(TINYXML_INCLUDE_DIR tinyxml.h REQUIRED)
find_library(TINYXML_LIBRARY tinyxml REQUIRED)
add_library(kablix_tinyxml INTERFACE)
target_include_directories(kablix_tinyxml INTERFACE ${TINYXML_INCLUDE_DIR})
target_link_libraries(kablix_tinyxml INTERFACE ${TINYXML_LIBRARY})
target_compile_definitions(kablix_tinyxml INTERFACE TIXML_USE_STL)

find_path(LODEPNG_INCLUDE_DIR lodepng.h REQUIRED)
find_library(LODEPNG_LIBRARY lodepng REQUIRED)
add_library(kablix_lodepng INTERFACE)
target_include_directories(kablix_lodepng INTERFACE ${LODEPNG_INCLUDE_DIR})
target_link_libraries(kablix_lodepng INTERFACE ${LODEPNG_LIBRARY})
