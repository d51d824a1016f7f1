# sea.exe: the `sea` tool for packagers on Windows, a console program built
# from the same sources with the system seam's Windows file, carrying the
# installer stub of this tree. The tree's size options turn exceptions and
# unwind tables off for the installer; the tool reports every failure by
# exception, also from inside the foundation's decoder, so it compiles the
# portable layers again for itself with both on.
file(GLOB SEA_EXE_LAYERS CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/foundation/*.cpp ${CMAKE_SOURCE_DIR}/archive/*.cpp)
list(REMOVE_ITEM SEA_EXE_LAYERS ${CMAKE_SOURCE_DIR}/foundation/fatal_console.cpp)
foreach(source IN ITEMS path.cpp datetime.cpp)
    if(EXISTS ${CMAKE_SOURCE_DIR}/platform/${source})
        list(APPEND SEA_EXE_LAYERS ${CMAKE_SOURCE_DIR}/platform/${source})
    endif()
endforeach()

# toml++ is header-only: the host's copy serves, through a folder that holds
# nothing else, so that no other host header reaches the cross compiler.
find_path(SEA_TOML_INCLUDE toml++/toml.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(SEA_EXE_TOML ${CMAKE_CURRENT_BINARY_DIR}/toml)
file(MAKE_DIRECTORY ${SEA_EXE_TOML})
file(CREATE_LINK ${SEA_TOML_INCLUDE}/toml++ ${SEA_EXE_TOML}/toml++ SYMBOLIC)

set(SEA_EXE_STUB ${CMAKE_CURRENT_BINARY_DIR}/embedded_stub.cpp)
add_custom_command(OUTPUT ${SEA_EXE_STUB}
    COMMAND ${CMAKE_COMMAND} -DSTUB=$<TARGET_FILE:sea-stub> -DOUTPUT=${SEA_EXE_STUB}
            -P ${CMAKE_CURRENT_SOURCE_DIR}/embed_stub.cmake
    DEPENDS sea-stub ${CMAKE_CURRENT_SOURCE_DIR}/embed_stub.cmake
    VERBATIM)

# sea.exe tries no installers (that needs Wine): it carries no robot and no
# sandbox.
set(SEA_EXE_NOTHING)
foreach(name IN ITEMS robot sandbox wine_arch)
    set(output ${CMAKE_CURRENT_BINARY_DIR}/embedded_${name}.cpp)
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -DSTUB= -DOUTPUT=${output} -DNAME=${name} -P ${CMAKE_CURRENT_SOURCE_DIR}/embed_stub.cmake
        DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/embed_stub.cmake
        VERBATIM)
    list(APPEND SEA_EXE_NOTHING ${output})
endforeach()

list(TRANSFORM SEA_COMPRESSOR_SOURCES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
list(TRANSFORM SEA_TOOL_SOURCES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
add_executable(sea ${SEA_EXE_LAYERS} ${SEA_COMPRESSOR_SOURCES} ${SEA_TOOL_SOURCES}
    ${CMAKE_CURRENT_SOURCE_DIR}/system_windows.cpp ${CMAKE_CURRENT_SOURCE_DIR}/sea_main.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/try.cpp ${SEA_EXE_STUB} ${SEA_EXE_NOTHING})
target_include_directories(sea PRIVATE ${CMAKE_SOURCE_DIR} ${SEA_EXE_TOML})
target_compile_options(sea PRIVATE -O2 -fexceptions -frtti -funwind-tables -fasynchronous-unwind-tables
    -fthreadsafe-statics)
