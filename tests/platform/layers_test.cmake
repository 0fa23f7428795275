# The layer check (platform/layers.cmake) on throwaway trees: one that keeps to
# its layers passes, and each refused row, added to it, stops the check with one
# line that names the file and says why.
#   cmake -DCHECK=<layers.cmake> -DWORK=<scratch folder> -P layers_test.cmake
# A row is "file|line it holds|what the problem line says"; a CMakeLists.txt row
# is the folder's declaration, a line of the layers file.
set(allowed [=[
platform/core/CMakeLists.txt|core:
platform/windowing/CMakeLists.txt|windowing:core
platform/shell/CMakeLists.txt|shell:windowing
platform/core/core.h|#include <poll.h>
platform/shell/shell.h|  # include "../core/core.h"
app/app.h|#include <cstring>
app/app.cpp|#include "res/ids.h"
res/ids.h|
host/host.cpp|#include "app/app.h"
tests/test.h|
]=])
set(refused
    "platform/core/x.cpp|#  include <platform/shell/shell.h>|core does not build on shell"
    "platform/core/x.cpp|#include \"../../res/ids.h\"|res/ is a layer above platform/"
    "platform/other/x.cpp||platform/other/ builds no library"
    "platform/core/CMakeLists.txt|core:shell|the subsystems build on each other in a cycle"
    "app/x.cpp|  # include <sys/ioctl.h>|the application reaches the system only through"
    "settings/x.cpp|#include_next \"termios.h\"|the application reaches the system only through"
    "app/x.cpp|#include \"../host/host.cpp\"|host/ is a layer above app/"
    "host/x.cpp|#include \"tests/test.h\"|tests/ is a layer above host/"
    "app/x.cpp|#include HEADER|a header named through a macro escapes this check")

# The clean tree first, then the clean tree with each refused row.
foreach(tried IN ITEMS "" ${refused})
    file(REMOVE_RECURSE ${WORK})
    string(REGEX REPLACE "[^\n|]*CMakeLists.txt\\|" "layers.txt|" rows "${allowed}${tried}")
    string(REPLACE "\n" ";" rows "${rows}")
    foreach(row IN ITEMS ${rows})
        string(REGEX MATCH "^([^|]+)\\|([^|]*)" row "${row}")
        file(APPEND ${WORK}/${CMAKE_MATCH_1} "${CMAKE_MATCH_2}\n")
    endforeach()
    execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE=${WORK} -DLAYERS=${WORK}/layers.txt
                            -DAPPLICATION=app,settings -DPROGRAMS=host,tools -P ${CHECK}
                    RESULT_VARIABLE result ERROR_VARIABLE output)
    string(REGEX MATCH "^([^|]+)\\|.*\\|(.+)$" tried "${tried}")
    if(NOT tried AND NOT result EQUAL 0)
        message(SEND_ERROR "a tree that keeps to its layers was refused:\n${output}")
    elseif(tried AND (result EQUAL 0 OR NOT output MATCHES
                      "^${CMAKE_MATCH_1}: [^\n]*${CMAKE_MATCH_2}[^\n]*\nCMake Error"))
        message(SEND_ERROR "not refused with one line: ${tried}\n${output}")
    endif()
endforeach()
