# The layer check (platform/layers.cmake) on throwaway trees: one that keeps to
# its layers passes, and each refused row, added to it, stops the check with one
# line that names the file and says why.
#   cmake -DCHECK=<layers.cmake> -DCXX=<compiler> -DWORK=<scratch folder>
#         -P layers_test.cmake
# A row is "file|line it holds|what the problem line says" ("<NL>" a line
# break); a CMakeLists.txt row is the folder's declaration, a line of the layers
# file. The compiler writes the dependency files the check reads, as the build's
# does, so the rows spell includes in every way it reads them.
set(allowed [=[
platform/core/CMakeLists.txt|core:
platform/windowing/CMakeLists.txt|windowing:core
platform/shell/CMakeLists.txt|shell:windowing
platform/core/core.h|#include <poll.h>
platform/core/trick.inc|#include "app/app.h"
platform/shell/shell.cpp|  # include "../core/core.h"
platform/shell/shell.h|
app/app.h|#include <cstring>
app/app.cpp|#include "res/ids.h"
settings/settings.h|
res/ids.h|
host/host.cpp|#include "app/app.h"
tests/test.h|
]=])
set(above "app/ is a layer above platform/")
set(refused
    "platform/core/x.cpp|#  include <platform/shell/shell.h>|core does not build on shell"
    "platform/core/x.cpp|#include \"../../res/ids.h\"|res/ is a layer above platform/"
    "platform/core/x.cpp|#include /**/ \"app/app.h\"|${above}"
    "platform/core/x.cpp|#include \\<NL>\"app/app.h\"|${above}"
    "platform/core/x.cpp|%:include \"app/app.h\"|${above}"
    "platform/core/x.cpp|# /* x */ include \"app/app.h\"|${above}"
    "platform/core/x.cpp|#define HEADER \"app/app.h\"<NL>#include HEADER|${above}"
    "platform/core/x.cpp|#include \"trick.inc\"|${above}"
    "platform/other/x.cpp||platform/other/ builds no library"
    "platform/core/CMakeLists.txt|core:shell|the subsystems build on each other in a cycle"
    "app/x.cpp|  # include <sys/ioctl.h>|the application reaches the system only through"
    "settings/x.cpp|%:include_next \"termios.h\"<NL>#include <termios.h>|the application reaches"
    "app/x.cpp|#include \"../host/host.cpp\"|host/ is a layer above app/"
    "settings/x.cpp|#include \"app/app.h\"|app/ is a layer above settings/"
    "res/x.cpp|#include \"app/app.h\"|app/ is a layer above res/"
    "host/x.cpp|#include \"tests/test.h\"|tests/ is a layer above host/"
    "app/x.cpp|#include HEADER|a header named through a macro escapes this check")

# Writes rows into a tree, and the dependency file of each source file a row
# names, the compiler run from the tree's top as the build runs it from its own.
function(write_rows tree rows)
    string(REGEX REPLACE "[^\n|]*CMakeLists.txt\\|" "layers.txt|" rows "${rows}")
    string(REPLACE "\n" ";" rows "${rows}")
    foreach(row IN ITEMS ${rows})
        string(REGEX MATCH "^([^|]+)\\|([^|]*)" row "${row}")
        set(file "${CMAKE_MATCH_1}")
        string(REPLACE "<NL>" "\n" text "${CMAKE_MATCH_2}")
        file(APPEND ${tree}/${file} "${text}\n")
        if(file MATCHES "\\.cpp$")
            string(MD5 name "${file}")
            file(MAKE_DIRECTORY ${tree}/CMakeFiles)
            execute_process(COMMAND ${CXX} -M -MG -MF CMakeFiles/${name}.o.d -I. ${file}
                            WORKING_DIRECTORY ${tree} OUTPUT_QUIET ERROR_QUIET)
        endif()
    endforeach()
endfunction()

# The clean tree first, then the clean tree with each refused row.
file(REMOVE_RECURSE ${WORK})
write_rows(${WORK}/clean "${allowed}")
foreach(tried IN ITEMS "" ${refused})
    file(REMOVE_RECURSE ${WORK}/tree)
    file(COPY ${WORK}/clean/ DESTINATION ${WORK}/tree)
    if(tried)
        write_rows(${WORK}/tree "${tried}")
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE=${WORK}/tree -DLAYERS=${WORK}/tree/layers.txt
                            -DAPPLICATION=settings,app -DPROGRAMS=host,tools
                            -DDEPFILES=${WORK}/tree/CMakeFiles -P ${CHECK}
                    RESULT_VARIABLE result ERROR_VARIABLE output)
    string(REGEX MATCH "^([^|]+)\\|.*\\|(.+)$" tried "${tried}")
    if(NOT tried AND NOT result EQUAL 0)
        message(SEND_ERROR "a tree that keeps to its layers was refused:\n${output}")
    elseif(tried AND (result EQUAL 0 OR NOT output MATCHES
                      "^${CMAKE_MATCH_1}: [^\n]*${CMAKE_MATCH_2}[^\n]*\nCMake Error"))
        message(SEND_ERROR "not refused with one line: ${tried}\n${output}")
    endif()
endforeach()
