# The stub's linker script: the linker's own, with the import tables moved
# from a section of their own to the end of .rdata. Every section of the file
# is padded to 512 bytes, so a section fewer saves some 500 bytes on average.
# The tables are read-only once the loader has filled the address table in,
# which it does through the page protection as for any program that keeps
# them in .rdata.
#
# The linker finds the import directory by the names of its parts (.idata$2
# and $4) or, without them, by a section named .idata; in .rdata it needs the
# names, which are defined here as addresses relative to the image base, as
# the directory wants them.
#   sea_stub_linker_script(OUTPUT)   writes the script to OUTPUT
function(sea_stub_linker_script output)
    execute_process(COMMAND ${CMAKE_LINKER} --verbose OUTPUT_VARIABLE verbose RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${CMAKE_LINKER} --verbose failed")
    endif()
    # The script lies between two lines of '='.
    string(REGEX MATCH "\n=+\n(.*)\n=+\n" script "${verbose}")
    set(script "${CMAKE_MATCH_1}")

    string(FIND "${script}" "  .idata BLOCK(__section_alignment__) :" idata_start)
    string(FIND "${script}" "  .rdata BLOCK(__section_alignment__) :" rdata_start)
    if(idata_start LESS 0 OR rdata_start LESS 0 OR idata_start LESS rdata_start)
        message(FATAL_ERROR "the linker's script has no .rdata followed by .idata")
    endif()
    # Each block ends at the first line "  }" behind its start.
    string(SUBSTRING "${script}" ${idata_start} -1 idata_tail)
    string(FIND "${idata_tail}" "\n  }\n" idata_length)
    math(EXPR idata_length "${idata_length} + 5")
    string(SUBSTRING "${idata_tail}" 0 ${idata_length} idata_block)
    string(FIND "${idata_block}" "{" body_start)
    math(EXPR body_start "${body_start} + 1")
    math(EXPR body_length "${idata_length} - 5 - ${body_start}")
    string(SUBSTRING "${idata_block}" ${body_start} ${body_length} idata_body)
    foreach(part 2 4 5 6)
        string(REGEX REPLACE "\n([ \t]*)([^\n]*\\(\\.idata\\$${part}\\)[^\n]*)"
               "\n\\1\".idata$${part}\" = ABSOLUTE(. - __image_base__);\n\\1\\2" idata_body "${idata_body}")
    endforeach()
    string(REPLACE "${idata_block}" "" script "${script}")

    string(SUBSTRING "${script}" ${rdata_start} -1 rdata_tail)
    string(FIND "${rdata_tail}" "\n  }\n" rdata_length)
    math(EXPR rdata_end "${rdata_start} + ${rdata_length}")
    string(SUBSTRING "${script}" 0 ${rdata_end} head)
    string(SUBSTRING "${script}" ${rdata_end} -1 rest)
    set(script "${head}\n    . = ALIGN(4);${idata_body}${rest}")
    file(WRITE "${output}" "${script}\n")
endfunction()
