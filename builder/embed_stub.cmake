# Writes OUTPUT, a C++ source that holds the installer stub STUB (nothing when
# STUB is empty) and its modification time, for the `sea` program to build
# on; with NAME, another file the same way (sea_embedded_NAME and its size
# and time). The file is rewritten only when its text changes, so an unchanged stub
# costs no new link.
if(STUB AND EXISTS "${STUB}")
    file(READ "${STUB}" hex HEX)
    file(SIZE "${STUB}" size)
    file(TIMESTAMP "${STUB}" modified "%s" UTC)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
else()
    set(bytes "0")
    set(size 0)
    set(modified 0)
endif()
if(NOT NAME)
    set(NAME stub)
endif()
set(text "// Generated from ${NAME} by builder/embed_stub.cmake.
#include <stddef.h>
extern const unsigned char sea_embedded_${NAME}[] = {
${bytes}};
extern const size_t sea_embedded_${NAME}_size = ${size};
extern const long long sea_embedded_${NAME}_time = ${modified};
")
if(EXISTS "${OUTPUT}")
    file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL text)
    file(WRITE "${OUTPUT}" "${text}")
endif()
