# The native tree: portable layers with sanitizers, their unit tests, the
# `sea` tool, and the Win32 tree as an external project.
option(SEA_SANITIZE "Build native code with AddressSanitizer and UBSan" ON)
option(SEA_WIN32_TREE "Also build the cross-compiled Win32 tree" ON)

add_compile_options(-Wall -Wextra -Wno-unused-parameter)
if(SEA_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

find_package(GTest REQUIRED)
include(GoogleTest)

set(SEA_NATIVE ON)
add_subdirectory(foundation)
add_subdirectory(archive)
add_subdirectory(builder)
add_subdirectory(bench)
add_subdirectory(platform)
add_subdirectory(tests/native)

# A bounded fuzzing run of the codec is part of every test run.
add_test(NAME fuzz.codec COMMAND ${CMAKE_SOURCE_DIR}/tools/fuzz.sh 60)
set_tests_properties(fuzz.codec PROPERTIES ENVIRONMENT SEA_FUZZ_DIR=${CMAKE_BINARY_DIR}/fuzz
    TIMEOUT 900 RUN_SERIAL ON)

if(SEA_WIN32_TREE)
    include(ExternalProject)
    set(SEA_WIN32_DIR ${CMAKE_BINARY_DIR}/win32)
    ExternalProject_Add(win32
        SOURCE_DIR ${CMAKE_SOURCE_DIR}
        BINARY_DIR ${SEA_WIN32_DIR}
        CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-i686.cmake
                   -DCMAKE_BUILD_TYPE=MinSizeRel
                   -DSEA_WINE_TEMPLATE=${CMAKE_BINARY_DIR}/wine/template
        BUILD_ALWAYS ON
        INSTALL_COMMAND ""
        USES_TERMINAL_BUILD ON)
    add_subdirectory(tests/wine)
    # The demo product's installer (target `demo`), built on the stub of that tree.
    add_subdirectory(examples/demo)
endif()
