# What `cmake --install` puts in place and what CPack builds from it.
#
# Windows: Harmoload.exe, harmoload-cli.exe, Language\, LICENSE and the third-party notices in one
# folder; packaged as an NSIS installer (license page, Program Files, Start-menu entry,
# uninstaller, "Open with" and the .DAT association) and as a portable zip of the same files.
# Linux: harmoload-cli with its Language/ folder in lib/harmoload (the program reads its
# languages beside itself), a link to it in bin, harmoload-sim-usb in bin, their manual pages,
# the udev rule that lets the logged-in user reach the instrument, and in share/doc/harmoload the
# Debian copyright file, the changelog and the notices; packaged as a .deb.
set(HARMOLOAD_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(HARMOLOAD_MAINTAINER "The Harmoload developers <maintainers@harmoload.org>"
    CACHE STRING "Who answers for the packages, as \"Name <address>\" (the .deb's Maintainer)")
set(HARMOLOAD_NOTICES ${PROJECT_SOURCE_DIR}/THIRD-PARTY-NOTICES.txt)

if(WIN32)
    set(program_dir .)
    install(TARGETS Harmoload harmoload-cli RUNTIME DESTINATION ${program_dir})
else()
    set(program_dir lib/harmoload)
    install(TARGETS harmoload-cli RUNTIME DESTINATION ${program_dir})
endif()
install(FILES ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Language/Eng.ini
              ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Language/Chin.ini
        DESTINATION ${program_dir}/Language)
if(WIN32)
    install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${HARMOLOAD_NOTICES} DESTINATION ${program_dir})
endif()

# What the shipped programs are made from, for scripts/list-build-inputs.sh (the notices check):
# each program, its link map, and the object folders of the program and of every library it
# links, directly or through others.
if(WIN32)
    set(shipped_programs Harmoload harmoload-cli)
else()
    set(shipped_programs harmoload-cli)
    if(TARGET harmoload-sim-usb)
        list(APPEND shipped_programs harmoload-sim-usb)
    endif()
endif()
function(harmoload_collect_linked target)
    get_property(seen GLOBAL PROPERTY HARMOLOAD_SHIPPED_TARGETS)
    if(NOT TARGET ${target} OR target IN_LIST seen)
        return()
    endif()
    set_property(GLOBAL APPEND PROPERTY HARMOLOAD_SHIPPED_TARGETS ${target})
    get_target_property(type ${target} TYPE)
    set(links)
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
        get_target_property(direct ${target} LINK_LIBRARIES)
        if(direct)
            list(APPEND links ${direct})
        endif()
    endif()
    get_target_property(interface ${target} INTERFACE_LINK_LIBRARIES)
    if(interface)
        list(APPEND links ${interface})
    endif()
    foreach(link IN LISTS links)
        string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" link "${link}")
        harmoload_collect_linked(${link})
    endforeach()
endfunction()
set(shipped_lines)
foreach(program IN LISTS shipped_programs)
    set(map ${CMAKE_BINARY_DIR}/packaging/${program}.map)
    target_link_options(${program} PRIVATE -Wl,-Map=${map})
    string(APPEND shipped_lines "program $<TARGET_FILE:${program}>\nmap ${map}\n")
    harmoload_collect_linked(${program})
endforeach()
get_property(shipped_targets GLOBAL PROPERTY HARMOLOAD_SHIPPED_TARGETS)
foreach(target IN LISTS shipped_targets)
    get_target_property(type ${target} TYPE)
    get_target_property(imported ${target} IMPORTED)
    if(NOT imported AND type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|OBJECT_LIBRARY)$")
        get_target_property(binary_dir ${target} BINARY_DIR)
        file(RELATIVE_PATH folder ${CMAKE_BINARY_DIR} ${binary_dir})
        if(folder)
            string(APPEND folder /)
        endif()
        string(APPEND shipped_lines "objects ${folder}CMakeFiles/${target}.dir/\n")
    endif()
endforeach()
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/packaging/shipped-programs.txt CONTENT "${shipped_lines}")

if(NOT WIN32)
    set(staging ${CMAKE_BINARY_DIR}/packaging)
    file(MAKE_DIRECTORY ${staging})
    file(CREATE_LINK ../lib/harmoload/harmoload-cli ${staging}/harmoload-cli SYMBOLIC)
    install(FILES ${staging}/harmoload-cli DESTINATION bin)

    if(TARGET harmoload-sim-usb)
        install(TARGETS harmoload-sim-usb RUNTIME DESTINATION bin)
    endif()

    # The manual pages, each from its program's --help and --version and the sections in
    # packaging/linux/PROGRAM.h2m.
    find_program(HARMOLOAD_HELP2MAN help2man)
    if(HARMOLOAD_HELP2MAN AND NOT HARMOLOAD_FUZZ)
        set(man_pages)
        foreach(program IN LISTS shipped_programs)
            if(program STREQUAL "harmoload-cli")
                set(name_line "write firmware and sound-data updates into a USB instrument")
                set(commands "info pack probe update")
            else()
                set(name_line "serve the simulated instrument to a virtual machine over usbredir")
                set(commands "")
            endif()
            set(man_page ${staging}/${program}.1.gz)
            set(sections ${HARMOLOAD_PACKAGING_DIR}/linux/${program}.h2m)
            add_custom_command(
                OUTPUT ${man_page}
                COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${program}>
                        -DOUTPUT=${man_page} "-DNAME_LINE=${name_line}" "-DCOMMANDS=${commands}"
                        -DINCLUDE=${sections} -P ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
                DEPENDS ${program} language_files ${sections}
                        ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
                COMMENT "Writing the manual page of ${program}"
                VERBATIM)
            list(APPEND man_pages ${man_page})
        endforeach()
        add_custom_target(harmoload_man_pages ALL DEPENDS ${man_pages})
        install(FILES ${man_pages} DESTINATION share/man/man1)
    else()
        message(STATUS "No manual pages: help2man not found, or a fuzz build")
    endif()
    # Under /usr (the package's prefix) udev reads lib/udev/rules.d.
    install(FILES ${HARMOLOAD_PACKAGING_DIR}/linux/70-harmoload.rules
            DESTINATION lib/udev/rules.d)

    # Debian's documentation folder: the copyright file (machine-readable, it covers our code and
    # what the programs embed), the changelog (compressed as Debian keeps it) and the notices.
    configure_file(${HARMOLOAD_PACKAGING_DIR}/linux/changelog ${staging}/changelog @ONLY)
    execute_process(COMMAND gzip -9nf ${staging}/changelog RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "gzip failed on the changelog")
    endif()
    install(FILES ${HARMOLOAD_PACKAGING_DIR}/linux/copyright ${staging}/changelog.gz
                  ${HARMOLOAD_NOTICES}
            DESTINATION share/doc/harmoload)
endif()

set(CPACK_PACKAGE_NAME harmoload)
set(CPACK_PACKAGE_VENDOR Harmoload)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Writes firmware and sound-data updates into a USB musical instrument")
set(CPACK_PACKAGE_CONTACT "${HARMOLOAD_MAINTAINER}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Harmoload)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)

if(WIN32)
    set(CPACK_GENERATOR NSIS ZIP)
    set(CPACK_SYSTEM_NAME win64)
    # A 64-bit installer, so that Program Files is the 64-bit one.
    set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
    set(CPACK_NSIS_PACKAGE_NAME Harmoload)  # also the Start-menu folder
    set(CPACK_NSIS_DISPLAY_NAME "Harmoload")
    set(CPACK_NSIS_INSTALLED_ICON_NAME Harmoload.exe)
    # The Start-menu entry.
    set(CPACK_PACKAGE_EXECUTABLES Harmoload Harmoload)
    set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
    # The Finish page starts the program through Explorer, unelevated (FolderProtection.nsh).
    set(CPACK_NSIS_DEFINES
        "Target amd64-unicode
!include '${HARMOLOAD_PACKAGING_DIR}/windows/FileAssociation.nsh'
!include '${HARMOLOAD_PACKAGING_DIR}/windows/FolderProtection.nsh'
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT 'Start Harmoload'
!define MUI_FINISHPAGE_RUN_FUNCTION HarmoloadStartUnelevated")
    set(CPACK_NSIS_EXTRA_PREINSTALL_COMMANDS "!insertmacro HarmoloadProtectFolder")
    set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "!insertmacro HarmoloadRegisterPackages")
    set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "!insertmacro HarmoloadUnregisterPackages")
else()
    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    # Under the summary (CPACK_PACKAGE_DESCRIPTION_SUMMARY); an empty line starts a paragraph.
    set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
        "Harmoload writes firmware and sound-data update packages (.DAT files) into
a USB musical instrument started in its update mode. harmoload-cli checks a
package and shows what it holds, builds packages, finds the instruments
attached and runs the whole update from a shell or a script, with progress as
text or as JSON events.

The udev rule installed with it gives the user logged in at the computer
access to the instrument (USB ID 0a67:8e30), so that updating it needs no
root.

harmoload-sim-usb serves a simulated instrument over the usbredir protocol, so
that a QEMU virtual machine's own USB stack and programs can be tested against
it as against the real instrument.")
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS udev)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${HARMOLOAD_PACKAGING_DIR}/linux/postinst)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()
include(CPack)

# The packages built and checked as a user meets them (scripts/test-packages.sh), in the native
# and the Windows build.
if(HARMOLOAD_TESTS AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    if(WIN32)
        set(package_kind windows)
    else()
        set(package_kind deb)
    endif()
    add_test(NAME packages COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/test-packages.sh
                                   ${package_kind} ${CMAKE_BINARY_DIR})
    set_tests_properties(packages PROPERTIES RUN_SERIAL ON TIMEOUT 900)
endif()
