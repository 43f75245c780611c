# The same warning set on both compilers; HARMOLOAD_WERROR makes any warning fail the build.
function(harmoload_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
    if(HARMOLOAD_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
