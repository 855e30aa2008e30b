# Fails when a file of the core or of the interfaces it uses includes Qt, a POSIX header or
# anything of the layers above or of the platform beneath.
file(GLOB_RECURSE core_files ${ROOT}/ground/* ${ROOT}/catalogue/* ${ROOT}/sites/* ${ROOT}/files/*
    ${ROOT}/ports/* ${ROOT}/operations/*)
set(forbidden "#include <Q" "#include <unistd" "#include <sys/" "#include <fcntl" "#include <dirent"
    "#include <iconv" "#include <pthread" "#include <zlib" "#include <lzma" "#include <brotli"
    "#include \"platform/" "#include \"ui/" "#include \"app/" "#include \"cli/")
foreach(f ${core_files})
    file(READ ${f} text)
    foreach(pattern ${forbidden})
        string(FIND "${text}" "${pattern}" at)
        if(NOT at EQUAL -1)
            message(FATAL_ERROR "${f} includes ${pattern}")
        endif()
    endforeach()
endforeach()
message(STATUS "core includes: ${core_files}")
