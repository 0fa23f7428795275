# The platform's layer check, run by the build (platform/CMakeLists.txt):
#
#   cmake -DPLATFORM=<platform folder> -DLAYERS=<layers file> -P layers.cmake
#
# The layers file has a line per subsystem folder, "folder:dep,dep,...", as each
# folder's CMakeLists.txt declares what it builds on. The check fails when those
# declarations form a cycle, when a file includes a header of a folder that its
# own folder does not build on (directly or through the folders it builds on),
# when a folder with sources declares nothing, or when a platform file includes a
# header of the application.
cmake_minimum_required(VERSION 3.25)

file(STRINGS ${LAYERS} lines)
set(folders "")
foreach(line IN LISTS lines)
    string(REGEX MATCH "^([^:]*):(.*)$" matched "${line}")
    if(NOT matched)
        continue()
    endif()
    set(folder "${CMAKE_MATCH_1}")
    string(REPLACE "," ";" depends "${CMAKE_MATCH_2}")
    list(APPEND folders "${folder}")
    set("depends_${folder}" "${depends}")
endforeach()

set(problems "")

# Everything a folder builds on, directly or not; a path back to the folder
# itself is a cycle.
function(closure_of folder path)
    if("${folder}" IN_LIST path)
        list(APPEND path "${folder}")
        string(REPLACE ";" " -> " cycle "${path}")
        set(cycle_found "${cycle}" PARENT_SCOPE)
        return()
    endif()
    list(APPEND path "${folder}")
    set(result "")
    foreach(dependency IN LISTS "depends_${folder}")
        if(NOT dependency IN_LIST folders)
            continue() # a part this build leaves out (the desktop front end)
        endif()
        list(APPEND result "${dependency}")
        closure_of("${dependency}" "${path}")
        if(cycle_found)
            set(cycle_found "${cycle_found}" PARENT_SCOPE)
            return()
        endif()
        list(APPEND result ${closure})
    endforeach()
    list(REMOVE_DUPLICATES result)
    set(closure "${result}" PARENT_SCOPE)
endfunction()

foreach(folder IN LISTS folders)
    set(cycle_found "")
    closure_of("${folder}" "")
    if(cycle_found)
        list(APPEND problems "the subsystems build on each other in a cycle: ${cycle_found}")
        break()
    endif()
    set("allowed_${folder}" "${folder};${closure}")
endforeach()

file(GLOB_RECURSE files RELATIVE ${PLATFORM} ${PLATFORM}/*.cpp ${PLATFORM}/*.h)
foreach(file IN LISTS files)
    get_filename_component(folder "${file}" DIRECTORY)
    if(NOT folder IN_LIST folders)
        list(APPEND problems "${file}: its folder '${folder}' is no subsystem (no swipetype_platform_library)")
        continue()
    endif()
    file(STRINGS ${PLATFORM}/${file} includes REGEX "^#include \"")
    foreach(include IN LISTS includes)
        if(include MATCHES "^#include \"(app|bio|reader|keys|settings|host|res)/")
            list(APPEND problems "${file}: the platform never includes the application: ${include}")
        elseif(include MATCHES "^#include \"platform/(.*)/[^/]*\"")
            set(target "${CMAKE_MATCH_1}")
            if(NOT target IN_LIST "allowed_${folder}")
                list(APPEND problems
                     "${file}: ${include}, but ${folder} does not build on ${target} (declare it in platform/${folder}/CMakeLists.txt, without making a cycle)")
            endif()
        endif()
    endforeach()
endforeach()

if(problems)
    list(JOIN problems "\n  " text)
    message(FATAL_ERROR "platform layers:\n  ${text}")
endif()
