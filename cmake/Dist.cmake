# The distribution folder build/dist: the setup program (build/dist/zepsetup, stripped) and
# the suite's files packed as the install manifest names them, which make_dist writes. The
# packed names are read from the manifest itself so that ninja knows every output.
set(ZP_DIST_DIR "${CMAKE_BINARY_DIR}/dist")
set(ZP_DIST_STAGING "${CMAKE_BINARY_DIR}/tools/make_dist/staging")

find_program(ZP_MSCOMPRESS mscompress REQUIRED)
if(NOT CMAKE_STRIP)
    message(FATAL_ERROR "no strip program found; the distribution ships the setup stripped")
endif()

include(${CMAKE_CURRENT_LIST_DIR}/PackedFiles.cmake)
zp_packed_files(ZP_DIST_PACKED "${ZP_DIST_DIR}")

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
