# zp_packed_files(VAR DIR): in VAR the paths in DIR of the suite's packed files, read from
# the install manifest itself so that ninja knows every output of the packing. Every row
# must stand on one line; a count that differs from the manifest's stops the configuration.
function(zp_packed_files var dir)
    set(manifest_source "${PROJECT_SOURCE_DIR}/src/install/manifest.cpp")
    set(manifest_header "${PROJECT_SOURCE_DIR}/src/install/manifest.h")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
        "${manifest_source}" "${manifest_header}")
    set(row_pattern "^ *\\{\"[^\"]+\", Folder::[A-Za-z]+, \"([^\"]+)\", -?[0-9]+\\},?$")
    file(STRINGS "${manifest_source}" manifest_rows REGEX "${row_pattern}")
    file(READ "${manifest_header}" header_text)
    string(REGEX MATCH "kManifestRows = ([0-9]+)" row_count "${header_text}")
    set(row_count "${CMAKE_MATCH_1}")
    list(LENGTH manifest_rows rows_read)
    if(NOT rows_read EQUAL row_count)
        message(FATAL_ERROR "read ${rows_read} rows from ${manifest_source}, the manifest has "
                            "${row_count}: keep each row on one line as {\"NAME\", Folder::X, "
                            "\"PACKED\", WEIGHT},")
    endif()
    set(packed_files "")
    foreach(row IN LISTS manifest_rows)
        string(REGEX REPLACE "${row_pattern}" "\\1" packed "${row}")
        list(APPEND packed_files "${dir}/${packed}")
    endforeach()
    set(${var} "${packed_files}" PARENT_SCOPE)
endfunction()
