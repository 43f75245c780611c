# cmake -DSOURCE=in.utf8.ini -DOUTPUT=out.ini -P WriteUtf16Ini.cmake
# Writes a UTF-8 INI file as UTF-16LE with a byte-order mark and CR LF line ends.
get_filename_component(folder ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${folder})
execute_process(
    COMMAND sh -c "printf '\\377\\376' > \"$1\" && sed 's/\\r*$/\\r/' \"$0\" | iconv -f UTF-8 -t UTF-16LE >> \"$1\""
            ${SOURCE} ${OUTPUT}
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    file(REMOVE ${OUTPUT})
    message(FATAL_ERROR "cannot convert ${SOURCE} to UTF-16LE")
endif()
