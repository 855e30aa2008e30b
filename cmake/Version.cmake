# The version the programs print: the project's version, and the commit they were built from
# when the sources are a git checkout of their own (a copy of the sources has none).
# Run as a script at every build (cmake -DSOURCE=... -DVERSION=... -DOUT=... -P Version.cmake),
# so the commit is that of the build, not of the configuration; the header is rewritten only
# when its text changes.
if(NOT DEFINED SOURCE OR NOT DEFINED VERSION OR NOT DEFINED OUT)
    message(FATAL_ERROR "Version.cmake: SOURCE, VERSION and OUT are needed")
endif()

set(text "${VERSION}")
find_program(GIT git)
if(GIT)
    # Only a checkout whose top is the source folder: sources copied into another repository
    # are not that repository's commit.
    execute_process(COMMAND ${GIT} -C "${SOURCE}" rev-parse --show-toplevel
        OUTPUT_VARIABLE top OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed ERROR_QUIET)
    if(NOT failed)
        file(REAL_PATH "${top}" top)
        file(REAL_PATH "${SOURCE}" source)
        if(top STREQUAL source)
            execute_process(COMMAND ${GIT} -C "${SOURCE}" rev-parse --short=12 HEAD
                OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed
                ERROR_QUIET)
            if(NOT failed AND commit MATCHES "^[0-9a-f]+$")
                set(text "${VERSION} (commit ${commit})")
            endif()
        endif()
    endif()
endif()

set(header "// Made by cmake/Version.cmake at build time.\n#pragma once\n\
#define PELLIMOR_VERSION_TEXT \"${text}\"\n")
if(EXISTS "${OUT}")
    file(READ "${OUT}" old)
else()
    set(old "")
endif()
if(NOT old STREQUAL header)
    file(WRITE "${OUT}" "${header}")
endif()
