# The layer check, run by the build before anything is compiled
# (platform/CMakeLists.txt):
#
#   cmake -DSOURCE=<tree> -DLAYERS=<layers file> -DAPPLICATION=<folder,...>
#         -DPROGRAMS=<folder,...> -P layers.cmake
#
# From the bottom: the platform, the application folders (with the resource ids
# of res/), the programs (host/, tools/), then the rest of the tree (tests/,
# fuzz/, bench/). A file includes headers of its own layer and of the layers
# below it, never above. Each include is read whatever its spelling ("..." or
# <...>, spaces around the #, #include_next), its header found as the compiler
# finds it (a "..." name beside the including file first, then from the tree's
# root, which is the include path), and then judged by the folder the header is
# in:
#
# - Inside the platform, each subsystem folder declares the folders it builds on
#   (the layers file: a line "folder:dep,dep,..." per folder, written from each
#   swipetype_platform_library). A file includes headers of its own folder and of
#   what that builds on, directly or not. The declarations form no cycle, and
#   every folder with sources has one.
# - The application folders reach system services only through the platform:
#   from outside the tree they include only the C++ standard library, whose
#   headers are bare lowercase names (<cstring>, <string_view>). Every other
#   header has a '.' or a '/' (<termios.h>, <unistd.h>, <sys/ioctl.h>,
#   <X11/Xlib.h>, <gtk/gtk.h>, <wayland-client.h>, <stdio.h>) and is refused there.
#
# Each problem is one line: the file, the include, and what to do.
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
string(REPLACE "," ";" application "${APPLICATION}")
string(REPLACE "," ";" programs "${PROGRAMS}")

# The layer of a folder at the top of the tree, counted from the bottom.
function(rank_of top)
    if(top STREQUAL "platform")
        set(rank 0 PARENT_SCOPE)
    elseif(top IN_LIST application OR top STREQUAL "res")
        set(rank 1 PARENT_SCOPE)
    elseif(top IN_LIST programs)
        set(rank 2 PARENT_SCOPE)
    else()
        set(rank 3 PARENT_SCOPE)
    endif()
endfunction()

set(problems "")

# Each problem on a line of its own, then the build stops.
function(stop_at_problems)
    if(problems)
        foreach(problem IN LISTS problems)
            message(NOTICE "${problem}")
        endforeach()
        list(LENGTH problems count)
        message(FATAL_ERROR "the layer check refused ${count} include(s) or declaration(s), \
listed above (docs/architecture.md, \"The layer check\")")
    endif()
endfunction()

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
            continue()
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
        list(APPEND problems "platform/${folder}/CMakeLists.txt: the subsystems build on each other \
in a cycle (${cycle_found}): drop one of these DEPENDS")
        break()
    endif()
    set("allowed_${folder}" "${folder};${closure}")
endforeach()
stop_at_problems() # a cycle leaves nothing to judge the includes by

# The header an include names, as a path in the tree, or "" for one from
# outside it (the system's, a library's, or one the build generates).
function(find_header from_folder bracket name)
    set(candidates "${SOURCE}/${name}")
    if(bracket STREQUAL "\"")
        list(PREPEND candidates "${SOURCE}/${from_folder}/${name}")
    endif()
    set(header "" PARENT_SCOPE)
    foreach(candidate IN LISTS candidates)
        if(EXISTS "${candidate}" AND NOT IS_DIRECTORY "${candidate}")
            file(RELATIVE_PATH candidate "${SOURCE}" "${candidate}")
            if(NOT candidate MATCHES "^\\.\\./")
                set(header "${candidate}" PARENT_SCOPE)
            endif()
            return()
        endif()
    endforeach()
endfunction()

set(files "")
foreach(top IN ITEMS platform ${application} ${programs})
    file(GLOB_RECURSE found RELATIVE ${SOURCE} ${SOURCE}/${top}/*.cpp ${SOURCE}/${top}/*.h
         ${SOURCE}/${top}/*.in)
    list(APPEND files ${found})
endforeach()

set(directive "^[ \t]*#[ \t]*include(_next)?")
foreach(file IN LISTS files)
    get_filename_component(folder "${file}" DIRECTORY)
    string(REGEX REPLACE "/.*" "" layer "${file}")
    rank_of("${layer}")
    set(layer_rank ${rank})
    string(REGEX REPLACE "^platform/?" "" subsystem "${folder}")
    if(layer STREQUAL "platform" AND NOT subsystem IN_LIST folders)
        list(APPEND problems "${file}: ${folder}/ builds no library: give it a CMakeLists.txt with \
swipetype_platform_library(DEPENDS ...), added in platform/CMakeLists.txt")
        continue()
    endif()
    file(STRINGS ${SOURCE}/${file} includes REGEX "${directive}[ \t<\"]")
    foreach(line IN LISTS includes)
        if(line MATCHES "${directive}[ \t]+[A-Za-z_]")
            list(APPEND problems "${file}: ${line}: a header named through a macro escapes this \
check: name the header itself")
            continue()
        elseif(NOT line MATCHES "${directive}[ \t]*(([<\"])([^>\"]*)[>\"])")
            continue() # the rest of a line cut at a ';'
        endif()
        set(include "#include ${CMAKE_MATCH_2}")
        set(name "${CMAKE_MATCH_4}")
        find_header("${folder}" "${CMAKE_MATCH_3}" "${name}")
        if(NOT header)
            if(layer IN_LIST application AND NOT name MATCHES "^[a-z_]+$")
                list(APPEND problems "${file}: ${include}: the application reaches the system \
only through platform calls: call one, or add it to platform/ (of the headers outside the tree, \
only the C++ standard library's, like <cstring>, are included here)")
            endif()
            continue()
        endif()
        if(NOT header STREQUAL name)
            string(APPEND include " (${header})")
        endif()
        string(REGEX REPLACE "/.*" "" top "${header}")
        rank_of("${top}")
        get_filename_component(target "${header}" DIRECTORY)
        string(REGEX REPLACE "^platform/?" "" target "${target}")

        if(rank GREATER layer_rank)
            list(APPEND problems "${file}: ${include}: ${top}/ is a layer above ${layer}/: move \
what ${layer}/ needs of it down into ${layer}/ or a layer below")
        elseif(layer STREQUAL "platform" AND target IN_LIST folders
               AND NOT target IN_LIST "allowed_${subsystem}")
            list(APPEND problems "${file}: ${include}: ${subsystem} does not build on ${target}: \
add ${target} to the DEPENDS of platform/${subsystem}/CMakeLists.txt (without making a cycle)")
        endif()
    endforeach()
endforeach()

stop_at_problems()
