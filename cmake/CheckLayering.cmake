# The floors of src/: each folder includes only from itself and the folders below it,
#   platform <- forms <- system <- program <- install, uninstall <- app,
# and program code (src/forms and above) sees the platform only through platform/*.h: the
# portable machine's headers are its own. The interfaces under src/forms (qt, win32,
# headless) never include one another; what they share is in forms/script, which is not an
# interface.
# Run at configure time (included from the top CMakeLists) and as a test
# (cmake -DZP_SOURCE_DIR=... -P CheckLayering.cmake), so that an include added since the
# last configure fails too.
cmake_policy(SET CMP0057 NEW) # if(... IN_LIST ...) in script mode too
if(NOT ZP_SOURCE_DIR)
    set(ZP_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/..)
endif()

# Folder -> the folders it may include from.
set(zp_floor_platform platform)
set(zp_floor_forms forms platform)
set(zp_floor_system system forms platform)
set(zp_floor_program program system forms platform)
set(zp_floor_install install program system forms platform)
set(zp_floor_uninstall uninstall program system forms platform)
set(zp_floor_app app install uninstall program system forms platform)
set(zp_layers platform forms system program install uninstall app)

set(zp_backends qt win32 headless)

set(zp_include_regex "^[ \t]*#[ \t]*include[ \t]*[\"<]([a-z0-9_]+/[^\">]*)[\">]")

set(zp_layering_faults "")
foreach(layer ${zp_layers})
    file(GLOB_RECURSE zp_layer_files ${ZP_SOURCE_DIR}/src/${layer}/*.h ${ZP_SOURCE_DIR}/src/${layer}/*.cpp)
    foreach(file ${zp_layer_files})
        file(RELATIVE_PATH zp_name ${ZP_SOURCE_DIR} ${file})
        set(zp_backend "")
        if(zp_name MATCHES "^src/forms/([a-z0-9_]+)/")
            set(zp_backend ${CMAKE_MATCH_1})
        endif()
        file(STRINGS ${file} zp_lines REGEX "${zp_include_regex}")
        foreach(line ${zp_lines})
            string(REGEX MATCH "${zp_include_regex}" zp_hit "${line}")
            set(zp_path ${CMAKE_MATCH_1})
            string(REGEX MATCH "^[a-z0-9_]+" zp_to "${zp_path}")
            if(NOT zp_to IN_LIST zp_layers)
                continue() # a system or library header
            endif()
            if(NOT zp_to IN_LIST zp_floor_${layer})
                string(APPEND zp_layering_faults "\n  ${zp_name}: ${layer} may not include ${zp_path}")
            elseif(NOT layer STREQUAL "platform" AND zp_path MATCHES "^platform/(portable|win32)/")
                string(APPEND zp_layering_faults
                       "\n  ${zp_name}: ${zp_path} is a platform implementation header (only platform/*.h)")
            elseif(zp_backend IN_LIST zp_backends AND zp_path MATCHES "^forms/([a-z0-9_]+)/"
                   AND NOT CMAKE_MATCH_1 STREQUAL zp_backend AND CMAKE_MATCH_1 IN_LIST zp_backends)
                string(APPEND zp_layering_faults
                       "\n  ${zp_name}: the ${zp_backend} interface may not include ${zp_path}")
            endif()
        endforeach()
    endforeach()
endforeach()
if(zp_layering_faults)
    message(FATAL_ERROR "an include crosses the floors of src/ (see cmake/CheckLayering.cmake):"
                        "${zp_layering_faults}")
endif()
