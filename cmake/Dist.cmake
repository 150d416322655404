# The distribution folder build/dist: the setup program (build/dist/zepsetup, stripped) and
# the suite's files packed as the install manifest names them, which make_dist writes. The
# packed names are read from the manifest itself so that ninja knows every output.
set(ZP_DIST_DIR "${CMAKE_BINARY_DIR}/dist")
set(ZP_DIST_STAGING "${CMAKE_BINARY_DIR}/tools/make_dist/staging")

find_program(ZP_MSCOMPRESS mscompress REQUIRED)
if(NOT CMAKE_STRIP)
    message(FATAL_ERROR "no strip program found; the distribution ships the setup stripped")
endif()

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
set(ZP_DIST_PACKED "")
foreach(row IN LISTS manifest_rows)
    string(REGEX REPLACE "${row_pattern}" "\\1" packed "${row}")
    list(APPEND ZP_DIST_PACKED "${ZP_DIST_DIR}/${packed}")
endforeach()

add_custom_command(
    OUTPUT "${ZP_DIST_DIR}/zepsetup"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${ZP_DIST_DIR}"
    COMMAND ${CMAKE_STRIP} -o "${ZP_DIST_DIR}/zepsetup" $<TARGET_FILE:zepsetup>
    DEPENDS zepsetup
    COMMENT "Stripping the setup program into dist/")

# make_dist writes and packs only what changed; ninja's restat then leaves untouched
# outputs (and whatever depends on them) alone.
add_custom_command(
    OUTPUT ${ZP_DIST_PACKED}
    COMMAND make_dist --setup "${ZP_DIST_DIR}/zepsetup" --staging "${ZP_DIST_STAGING}"
            --out "${ZP_DIST_DIR}" --mscompress "${ZP_MSCOMPRESS}"
    DEPENDS make_dist "${ZP_DIST_DIR}/zepsetup" "${ZP_MSCOMPRESS}"
    COMMENT "Packing the distribution into dist/")

add_custom_target(dist ALL DEPENDS "${ZP_DIST_DIR}/zepsetup" ${ZP_DIST_PACKED})
