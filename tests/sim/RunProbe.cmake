# Runs harmoload-cli probe and checks its exit code and output.
#   -DPROGRAM=path of harmoload-cli   -DEMULATOR=wine runner or empty
#   -DEXPECT_EXIT=code   -DEXPECT_OUTPUT=regular expression   -DSIM=HARMOLOAD_SIM value
#   -DARGS=extra arguments (;-list)
#   -DBESIDE=a DLL to place beside a copy of the program in a fresh folder, which is run instead
if(DEFINED BESIDE AND NOT BESIDE STREQUAL "")
    get_filename_component(name ${PROGRAM} NAME)
    string(RANDOM LENGTH 8 stamp)
    set(folder ${WORK_DIR}/probe-${stamp})
    file(MAKE_DIRECTORY ${folder})
    file(COPY ${PROGRAM} ${BESIDE} DESTINATION ${folder})
    set(PROGRAM ${folder}/${name})
endif()
set(ENV{HARMOLOAD_SIM} "${SIM}")
execute_process(COMMAND ${EMULATOR} ${PROGRAM} probe ${ARGS}
    RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(DEFINED folder)
    file(REMOVE_RECURSE ${folder})
endif()
message("exit ${code}\nstdout: ${out}\nstderr: ${err}")
if(NOT code STREQUAL EXPECT_EXIT)
    message(FATAL_ERROR "expected exit ${EXPECT_EXIT}")
endif()
if(NOT out MATCHES "${EXPECT_OUTPUT}")
    message(FATAL_ERROR "output does not match ${EXPECT_OUTPUT}")
endif()
