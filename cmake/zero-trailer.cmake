# Makes FILE end with four zero bytes, appending them when it does not.
file(SIZE "${FILE}" size)
math(EXPR offset "${size} - 4")
file(READ "${FILE}" tail OFFSET ${offset} LIMIT 4 HEX)
if(NOT tail STREQUAL "00000000")
    file(APPEND "${FILE}" "")
    execute_process(COMMAND sh -c "printf '\\000\\000\\000\\000' >> \"$0\"" "${FILE}")
endif()
