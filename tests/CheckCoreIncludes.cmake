# Fails when a file of the core includes Qt or a POSIX header.
file(GLOB_RECURSE core_files ${ROOT}/catalogue/* ${ROOT}/sites/* ${ROOT}/files/*)
set(forbidden "#include <Q" "#include <unistd" "#include <sys/" "#include <fcntl" "#include <dirent"
    "#include <iconv" "#include <pthread" "#include \"platform/fileops" "#include \"platform/urlcache"
    "#include \"platform/registry" "#include \"platform/cachefolder")
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
