# cmake -DPROGRAM=... -DOUTPUT=... -P ManPage.cmake
# The manual page of harmoload-cli, generated from its own --help and --version by help2man, with
# each command's --help as a section of its own, then compressed as Debian keeps manual pages.
get_filename_component(work ${OUTPUT} DIRECTORY)
set(include ${work}/harmoload-cli.h2m)
file(WRITE ${include} "[COMMANDS]\n")
foreach(command info pack probe update)
    execute_process(COMMAND ${PROGRAM} ${command} --help OUTPUT_VARIABLE help
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${PROGRAM} ${command} --help failed")
    endif()
    # Lines starting with a dot or a quote would read as roff requests.
    string(REGEX REPLACE "\n([.'])" "\n\\\\&\\1" help "${help}")
    file(APPEND ${include} ".SS ${command}\n.nf\n${help}.fi\n")
endforeach()
file(APPEND ${include} "[UDEV RULE]
The package installs
.I 70-harmoload.rules
into the udev rules folder: it gives the logged-in user access to the instrument, so that no
root is needed to update it. When probe or update says that the instrument cannot be opened,
reload the rules with
.B udevadm control --reload-rules
and
.BR \"udevadm trigger\" ,
then plug the instrument in again.
")
execute_process(
    COMMAND help2man --no-info --no-discard-stderr
            --name "write firmware and sound-data updates into a USB instrument"
            --include ${include} --output ${work}/harmoload-cli.1 ${PROGRAM}
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "help2man failed")
endif()
execute_process(COMMAND gzip -9nf ${work}/harmoload-cli.1 RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip failed")
endif()
