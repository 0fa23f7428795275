# The layer check, run by the build once the platform, the application, the
# programs and the modules are compiled (platform/CMakeLists.txt):
#
#   cmake -DSOURCE=<tree> -DLAYERS=<layers file> -DAPPLICATION=<folder,...>
#         -DPROGRAMS=<folder,...> -DDEPFILES=<build folder> -P layers.cmake
#
# From the bottom: the platform, the resource ids of res/, the application
# folders in the order APPLICATION gives them (each may include those before it:
# bio, settings, keys, reader, app), the programs (host/, tools/), then the rest
# of the tree (tests/, fuzz/, bench/). A file includes headers of its own layer
# and of the layers below it, never above.
#
# What a file includes is what the compiler read: the dependency files it wrote
# beside each object (<object>.d, under DEPFILES), so that no spelling of an
# include escapes (comments or a line break inside the directive, digraphs, a
# header named through a macro, a file of any name included in turn). Every
# header of the tree a source file reaches, directly or through others, is
# judged by the folder it is in; since each layer may include those below it,
# a header reached through an allowed one is allowed too.
#
# - Inside the platform, each subsystem folder declares the folders it builds on
#   (the layers file: a line "folder:dep,dep,..." per folder, written from each
#   swipetype_platform_library). A file reaches headers of its own folder and of
#   what that builds on, directly or not. The declarations form no cycle, and
#   every folder with sources has one.
# - The application folders (and res/) reach system services only through the
#   platform: from outside the tree they include only the C++ standard library,
#   whose headers are bare lowercase names (<cstring>, <string_view>). Every other
#   header has a '.' or a '/' (<termios.h>, <unistd.h>, <sys/ioctl.h>,
#   <X11/Xlib.h>, <gtk/gtk.h>, <wayland-client.h>, <stdio.h>) and is refused there.
#   A header the standard library includes in turn is its own business, so this
#   rule reads the application's own include lines; a header named through a
#   macro there is refused, as this rule cannot follow it.
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

# The layer of a folder at the top of the tree, counted from the bottom: the
# platform, the resource ids, the application folders each a layer of its own
# in the order APPLICATION lists them, the programs, the rest.
list(LENGTH application application_layers)
function(rank_of top)
    list(FIND application "${top}" index)
    if(top STREQUAL "platform")
        set(rank 0 PARENT_SCOPE)
    elseif(top STREQUAL "res")
        set(rank 1 PARENT_SCOPE)
    elseif(index GREATER_EQUAL 0)
        math(EXPR rank "2 + ${index}")
        set(rank ${rank} PARENT_SCOPE)
    elseif(top IN_LIST programs)
        math(EXPR rank "2 + ${application_layers}")
        set(rank ${rank} PARENT_SCOPE)
    else()
        math(EXPR rank "3 + ${application_layers}")
        set(rank ${rank} PARENT_SCOPE)
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

# Every platform folder with sources declares what it builds on.
file(GLOB_RECURSE platform_sources RELATIVE ${SOURCE} ${SOURCE}/platform/*.cpp)
foreach(file IN LISTS platform_sources)
    get_filename_component(folder "${file}" DIRECTORY)
    string(REGEX REPLACE "^platform/?" "" subsystem "${folder}")
    if(NOT subsystem IN_LIST folders AND NOT "${folder}" IN_LIST undeclared)
        list(APPEND undeclared "${folder}")
        list(APPEND problems "${file}: ${folder}/ builds no library: give it a CMakeLists.txt with \
swipetype_platform_library(DEPENDS ...), added in platform/CMakeLists.txt")
    endif()
endforeach()

# The application's own include lines, for what it takes from outside the tree.
set(directive "^[ \t]*(#|%:)[ \t]*include(_next)?")
foreach(top IN ITEMS res ${application})
    file(GLOB_RECURSE found RELATIVE ${SOURCE} ${SOURCE}/${top}/*.h ${SOURCE}/${top}/*.cpp
         ${SOURCE}/${top}/*.inc ${SOURCE}/${top}/*.in)
    foreach(file IN LISTS found)
        file(STRINGS ${SOURCE}/${file} includes REGEX "${directive}")
        foreach(line IN LISTS includes)
            if(line MATCHES "${directive}[ \t]+[A-Za-z_]")
                list(APPEND problems "${file}: ${line}: a header named through a macro \
escapes this check: name the header itself")
                continue()
            elseif(NOT line MATCHES "${directive}[ \t]*<([^>]*)>")
                continue()
            endif()
            set(name "${CMAKE_MATCH_3}")
            if(NOT name MATCHES "^[a-z_]+$" AND NOT EXISTS "${SOURCE}/${name}")
                list(APPEND problems "${file}: #include <${name}>: the application reaches the \
system only through platform calls: call one, or add it to platform/ (of the headers outside the \
tree, only the C++ standard library's, like <cstring>, are included here)")
            endif()
        endforeach()
    endforeach()
endforeach()

# The headers of the tree each source file reached, from its dependency file:
# "object: source header header ...", paths as the compiler was given them,
# relative ones from the folder the object's target is built in (the part of
# the dependency file's path before CMakeFiles/, or the file's own folder), or
# else from DEPFILES.
file(GLOB_RECURSE depfiles ${DEPFILES}/*.d)
foreach(depfile IN LISTS depfiles)
    string(REGEX REPLACE "/CMakeFiles/.*" "" base "${depfile}")
    if(base STREQUAL depfile)
        get_filename_component(base "${depfile}" DIRECTORY)
    endif()
    file(READ "${depfile}" text)
    string(REGEX REPLACE "\\\\\n" " " text "${text}")
    string(REGEX REPLACE "^[^:]*:[ \t]*" "" text "${text}")
    string(REGEX REPLACE "\n.*" "" text "${text}") # -MP's empty rules follow
    string(REGEX REPLACE "[ \t]+" ";" paths "${text}")
    list(FILTER paths EXCLUDE REGEX "^(/usr/.*)?$")
    set(source "")
    foreach(path IN LISTS paths)
        set(given "${path}")
        cmake_path(ABSOLUTE_PATH path BASE_DIRECTORY "${base}" NORMALIZE)
        if(NOT EXISTS "${path}") # Ninja compiles from the top of the build folder
            cmake_path(ABSOLUTE_PATH given BASE_DIRECTORY "${DEPFILES}" NORMALIZE)
            set(path "${given}")
        endif()
        cmake_path(IS_PREFIX SOURCE "${path}" NORMALIZE inside)
        cmake_path(IS_PREFIX DEPFILES "${path}" NORMALIZE made)
        if(NOT source AND (NOT inside OR made))
            break() # a source file the build made
        elseif(NOT inside OR made)
            continue() # the system's, a library's, or one the build made
        endif()
        file(RELATIVE_PATH path "${SOURCE}" "${path}")
        if(NOT source)
            set(source "${path}")
            string(REGEX REPLACE "/.*" "" layer "${source}")
            rank_of("${layer}")
            set(layer_rank ${rank})
            get_filename_component(folder "${source}" DIRECTORY)
            string(REGEX REPLACE "^platform/?" "" subsystem "${folder}")
            if(NOT layer MATCHES "^(platform|res)$" AND NOT layer IN_LIST application
               AND NOT layer IN_LIST programs)
                break() # tests/, fuzz/, bench/ and what the build made: the top
            endif()
            continue()
        endif()
        string(REGEX REPLACE "/.*" "" top "${path}")
        rank_of("${top}")
        get_filename_component(target "${path}" DIRECTORY)
        string(REGEX REPLACE "^platform/?" "" target "${target}")
        if(rank GREATER layer_rank)
            list(APPEND problems "${source}: reaches ${path}: ${top}/ is a layer above ${layer}/: \
move what ${layer}/ needs of it down into ${layer}/ or a layer below")
        elseif(layer STREQUAL "platform" AND target IN_LIST folders
               AND NOT target IN_LIST "allowed_${subsystem}")
            list(APPEND problems "${source}: reaches ${path}: ${subsystem} does not build on \
${target}: add ${target} to the DEPENDS of platform/${subsystem}/CMakeLists.txt (without making a \
cycle)")
        endif()
    endforeach()
endforeach()

list(REMOVE_DUPLICATES problems)
stop_at_problems()
