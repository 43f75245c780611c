# cmake -DPROGRAM=... -DOUTPUT=... -DNAME_LINE=... [-DCOMMANDS="a b"] [-DINCLUDE=file.h2m] -P ManPage.cmake
# A program's manual page, generated from its own --help and --version by help2man, with each of
# its COMMANDS' --help as a section of its own and the sections of INCLUDE, then compressed as
# Debian keeps manual pages.
get_filename_component(work ${OUTPUT} DIRECTORY)
get_filename_component(program_name ${PROGRAM} NAME)
set(include ${work}/${program_name}.h2m)
file(WRITE ${include} "")
separate_arguments(COMMANDS)
if(COMMANDS)
    file(APPEND ${include} "[COMMANDS]\n")
endif()
foreach(command IN LISTS COMMANDS)
    execute_process(COMMAND ${PROGRAM} ${command} --help OUTPUT_VARIABLE help
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${PROGRAM} ${command} --help failed")
    endif()
    # Lines starting with a dot or a quote would read as roff requests.
    string(REGEX REPLACE "\n([.'])" "\n\\\\&\\1" help "${help}")
    file(APPEND ${include} ".SS ${command}\n.nf\n${help}.fi\n")
endforeach()
if(INCLUDE)
    file(READ ${INCLUDE} sections)
    file(APPEND ${include} "${sections}")
endif()
execute_process(
    COMMAND help2man --no-info --no-discard-stderr --name "${NAME_LINE}" --include ${include}
            --output ${work}/${program_name}.1 ${PROGRAM}
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "help2man failed")
endif()
execute_process(COMMAND gzip -9nf ${work}/${program_name}.1 RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip failed")
endif()
