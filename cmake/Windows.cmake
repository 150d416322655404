# The Windows build, cross-compiled (cmake/mingw-w64-x86_64.cmake, scripts/build-win): the
# program on the real API, the distribution folder dist/ (zepsetup.exe and the suite's 56
# packed files, Zepsetup.ex_ being zepsetup.exe packed) and the test programs that run
# under Wine. The distribution is packed on the host, by the host build's make_dist.
add_compile_definitions(NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)

add_subdirectory(src)

set(ZP_HOST_MAKE_DIST "" CACHE FILEPATH "make_dist of the host build")
if(NOT EXISTS "${ZP_HOST_MAKE_DIST}")
    message(FATAL_ERROR "ZP_HOST_MAKE_DIST must name the host build's make_dist "
                        "(build/tools/make_dist/make_dist; scripts/build-win passes it)")
endif()
find_program(ZP_MSCOMPRESS mscompress REQUIRED)

set(ZP_DIST_DIR "${CMAKE_BINARY_DIR}/dist")
set(ZP_DIST_STAGING "${CMAKE_BINARY_DIR}/staging")
include(${CMAKE_CURRENT_LIST_DIR}/PackedFiles.cmake)
zp_packed_files(ZP_DIST_PACKED "${ZP_DIST_DIR}")
add_custom_command(
    OUTPUT "${ZP_DIST_DIR}/zepsetup.exe"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${ZP_DIST_DIR}"
    COMMAND ${CMAKE_STRIP} -o "${ZP_DIST_DIR}/zepsetup.exe" $<TARGET_FILE:zepsetup>
    DEPENDS zepsetup
    COMMENT "Stripping zepsetup.exe into dist/")
add_custom_command(
    OUTPUT ${ZP_DIST_PACKED}
    COMMAND "${ZP_HOST_MAKE_DIST}" --setup "${ZP_DIST_DIR}/zepsetup.exe"
            --staging "${ZP_DIST_STAGING}" --out "${ZP_DIST_DIR}" --mscompress "${ZP_MSCOMPRESS}"
    DEPENDS "${ZP_HOST_MAKE_DIST}" "${ZP_DIST_DIR}/zepsetup.exe"
    COMMENT "Packing the Windows distribution into dist/")
add_custom_target(dist ALL DEPENDS "${ZP_DIST_DIR}/zepsetup.exe" ${ZP_DIST_PACKED})

# A trivial windowed program: Wine's own start-up, beside which bench/wine-bench reads the
# setup program's.
add_executable(wine_probe WIN32 bench/win/wine_probe.cpp)

if(ZEPSETUP_TESTS)
    # GoogleTest from the sources Debian ships (libgtest-dev).
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
    enable_testing()
    add_subdirectory(tests/conformance)
    add_subdirectory(tests/win32)
endif()
