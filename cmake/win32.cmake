# The Win32 tree: the installer stub, kept small, and the Win32 test tools.
set(SEA_NATIVE OFF)

# Size first: no exceptions, no run-time type information, no unwind tables,
# dead code dropped, and the GCC support libraries linked in statically so
# that the programs need nothing but system DLLs and msvcrt. The posix
# thread model of the toolchain (its std::mutex is what GoogleTest needs) adds
# nothing to programs that start no threads.
set(SEA_WIN32_COMPILE_OPTIONS
    -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
    -fno-unwind-tables -ffunction-sections -fdata-sections
    -fno-threadsafe-statics -Wall -Wextra -Wno-unused-parameter)
# The layers' objects carry the optimiser's intermediate code beside their
# ordinary code (below). Programs other than the stub link the ordinary code:
# through the linker plugin, the i686 linker takes the intermediate code's
# copies of the templates' functions for definitions of their own, and
# reports each one twice where an object without it defines it too.
set(SEA_WIN32_LINK_OPTIONS
    -static -static-libgcc -static-libstdc++ -Wl,--gc-sections -s
    -Wl,--no-insert-timestamp -fno-use-linker-plugin)
add_compile_options(${SEA_WIN32_COMPILE_OPTIONS})
add_link_options(${SEA_WIN32_LINK_OPTIONS})

# Unit tests of this tree run under Wine, each in a fresh sandboxed prefix of
# the tree's own kind: 32-bit for i686, 64-bit for the x86-64 test tree.
option(SEA_WIN32_TESTS "Build the tests and test tools of this tree" ON)
set(SEA_WINE_TEMPLATE "${CMAKE_BINARY_DIR}/../wine/template" CACHE PATH "Template prefix of the Wine sandbox")
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    set(SEA_TREE_WINE_ARCH win64)
else()
    set(SEA_TREE_WINE_ARCH win32)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env SEA_WINE_ARCH=${SEA_TREE_WINE_ARCH}
    ${CMAKE_SOURCE_DIR}/tools/wine-run ${SEA_WINE_TEMPLATE})

# The stub is optimised as one program (see below). Across files the
# optimiser would fold each step of the run into its single caller, which
# makes the drivers larger than the steps apart (by some 1.5 KB). -Oz, which
# trades speed for size where -Os still would not, saves some 100 bytes more.
set(SEA_STUB_OPTIMISER_OPTIONS -flto -fno-inline-functions-called-once -Oz)
# 32-bit Windows itself keeps the stack aligned to 4 bytes only, and the stub
# has no data that wants more: without the compiler's 16-byte assumption its
# calls need no padding (some 300 bytes). Arguments are pushed rather than
# stored into a frame reserved for the largest call (some 4.5 KB): the
# compiler reserves that frame only because it may have to probe the stack,
# page by page, for a frame of more than a page, and no function of the stub
# has one, which the last option checks. Without a frame pointer, which
# nothing of the stub needs, a further 900 bytes go.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    list(APPEND SEA_STUB_OPTIMISER_OPTIONS -mpreferred-stack-boundary=2 -mno-accumulate-outgoing-args
         -mno-stack-arg-probe -Werror=frame-larger-than=4096 -fomit-frame-pointer)
endif()
add_subdirectory(foundation)
add_subdirectory(archive)
add_subdirectory(platform)
add_subdirectory(ui)
add_subdirectory(installer)
# The stub is optimised as one program: the optimiser then drops what no
# caller uses, inlines across files and keeps one copy of each string. The
# layers' objects are fat, so that the tests and tools that link them without
# optimising across files get ordinary code.
set(SEA_STUB_LTO_LIBRARIES foundation archive platform ui)
if(TARGET platform_faults)
    list(APPEND SEA_STUB_LTO_LIBRARIES platform_faults)
endif()
foreach(library IN LISTS SEA_STUB_LTO_LIBRARIES)
    target_compile_options(${library} PRIVATE ${SEA_STUB_OPTIMISER_OPTIONS} -ffat-lto-objects)
endforeach()
# Except for the decoder, which every byte of a payload goes through. Built
# for size, each of its 16-byte copies was a call and two string moves, and
# a 50 MB payload took 0.6 s of processor time to decode instead of a few
# hundredths; optimised for speed it costs some 700 bytes of code. It is left
# out of the optimisation as one program, whose code generation kept the
# string moves whatever this file asked for. Its loops keep their alignment.
set_property(SOURCE archive/codec.cpp DIRECTORY archive APPEND PROPERTY COMPILE_OPTIONS
    -O2 -fno-lto -falign-functions=1 -falign-jumps=1 -falign-labels=1)
# sea.exe, the packagers' tool for Windows, on this tree's stub.
add_subdirectory(builder)
# The robot also goes into `sea`, for `sea try`.
add_subdirectory(tools/robot)
if(SEA_WIN32_TESTS)
    add_subdirectory(tools/inspect)
    add_subdirectory(tests/win32)
    add_subdirectory(tests/programs)
endif()
# The demo product's programs.
add_subdirectory(examples/demo)
