# Program code (src/system and above) sees the platform only through platform/*.h: the
# portable machine's headers are its own. Run at configure time (included from the top
# CMakeLists) and as a test (cmake -DZP_SOURCE_DIR=... -P CheckLayering.cmake), so that an
# include added since the last configure fails too.
if(NOT ZP_SOURCE_DIR)
    set(ZP_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/..)
endif()
set(zp_layering_faults "")
foreach(layer system app install uninstall forms)
    file(GLOB_RECURSE zp_layer_files ${ZP_SOURCE_DIR}/src/${layer}/*.h ${ZP_SOURCE_DIR}/src/${layer}/*.cpp)
    foreach(file ${zp_layer_files})
        file(STRINGS ${file} zp_hits REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]platform/(portable|win32)/")
        if(zp_hits)
            file(RELATIVE_PATH zp_name ${ZP_SOURCE_DIR} ${file})
            string(APPEND zp_layering_faults "\n  ${zp_name}: ${zp_hits}")
        endif()
    endforeach()
endforeach()
if(zp_layering_faults)
    message(FATAL_ERROR "program code includes a platform implementation header "
                        "(only platform/*.h is allowed):${zp_layering_faults}")
endif()
