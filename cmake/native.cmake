# The native tree: portable layers, their unit tests, the `sea` tool, and the
# Win32 tree as an external project. Plainly configured it is the packager's
# build: optimised, without sanitizers. The test command turns the
# sanitizers on, for the unit tests and for the `sea` that the tests drive.
option(SEA_SANITIZE "Build native code with AddressSanitizer and UBSan" OFF)
if(NOT CMAKE_BUILD_TYPE)
    set(CMAKE_BUILD_TYPE Release CACHE STRING "Build type" FORCE)
endif()
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

# A bounded fuzzing run of the codec and the archive's readers is part of
# every test run; tools/fuzz.sh --minutes N runs a longer campaign.
add_test(NAME fuzz COMMAND ${CMAKE_SOURCE_DIR}/tools/fuzz.sh 30)
set_tests_properties(fuzz PROPERTIES ENVIRONMENT SEA_FUZZ_DIR=${CMAKE_BINARY_DIR}/fuzz
    TIMEOUT 900 RUN_SERIAL ON)

if(SEA_WIN32_TREE)
    # The tests run under 32-bit Wine where this machine runs 32-bit code;
    # where it cannot, they run the same sources built for x86-64 under 64-bit
    # Wine, from a second cross tree (win64), while the win32 tree still
    # builds the installer that `sea` carries.
    execute_process(COMMAND ${CMAKE_SOURCE_DIR}/tools/wine-arch
                    OUTPUT_VARIABLE SEA_DETECTED_WINE_ARCH OUTPUT_STRIP_TRAILING_WHITESPACE)
    set(SEA_WINE_ARCH ${SEA_DETECTED_WINE_ARCH} CACHE STRING "Wine prefix of the tests: win32 or win64")
    include(ExternalProject)
    set(SEA_WIN32_DIR ${CMAKE_BINARY_DIR}/win32)
    if(SEA_WINE_ARCH STREQUAL "win64")
        set(SEA_WIN32_TESTS OFF)
    else()
        set(SEA_WIN32_TESTS ON)
    endif()
    set(SEA_WIN32_STUBS ${SEA_WIN32_DIR}/installer/sea-stub.exe)
    if(SEA_WIN32_TESTS)
        list(APPEND SEA_WIN32_STUBS ${SEA_WIN32_DIR}/installer/sea-stub-faults.exe)
    endif()
    ExternalProject_Add(win32
        SOURCE_DIR ${CMAKE_SOURCE_DIR}
        BINARY_DIR ${SEA_WIN32_DIR}
        CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-i686.cmake
                   -DCMAKE_BUILD_TYPE=MinSizeRel
                   -DSEA_WINE_TEMPLATE=${CMAKE_BINARY_DIR}/wine/template
                   -DSEA_WIN32_TESTS=${SEA_WIN32_TESTS}
        BUILD_ALWAYS ON
        BUILD_BYPRODUCTS ${SEA_WIN32_STUBS}
        INSTALL_COMMAND ""
        USES_TERMINAL_BUILD ON)
    # The tree whose programs the Wine tests run.
    if(SEA_WINE_ARCH STREQUAL "win64")
        set(SEA_WINTEST_DIR ${CMAKE_BINARY_DIR}/win64)
        ExternalProject_Add(win64
            SOURCE_DIR ${CMAKE_SOURCE_DIR}
            BINARY_DIR ${SEA_WINTEST_DIR}
            CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-x86_64.cmake
                       -DCMAKE_BUILD_TYPE=MinSizeRel
                       -DSEA_WINE_TEMPLATE=${CMAKE_BINARY_DIR}/wine/template
            BUILD_ALWAYS ON
            BUILD_BYPRODUCTS ${SEA_WINTEST_DIR}/installer/sea-stub.exe
                             ${SEA_WINTEST_DIR}/installer/sea-stub-faults.exe
            INSTALL_COMMAND ""
            USES_TERMINAL_BUILD ON)
        set(SEA_WINTEST_TARGET win64)
        # The stub that the test installers carry: the one the tests can run.
        set(SEA_TEST_STUB ${SEA_WINTEST_DIR}/installer/sea-stub.exe)
    else()
        set(SEA_WINTEST_DIR ${SEA_WIN32_DIR})
        set(SEA_WINTEST_TARGET win32)
        set(SEA_TEST_STUB "")
    endif()
    if(SEA_TEST_STUB)
        set(SEA_TEST_STUB_ARGS --stub ${SEA_TEST_STUB})
    else()
        set(SEA_TEST_STUB_ARGS)
    endif()
    add_subdirectory(tests/wine)
    # The demo product's installer (target `demo`), built on the stub of that tree.
    add_subdirectory(examples/demo)
endif()
