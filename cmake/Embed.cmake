# zp_embed(<target> <symbol> <file>): makes the bytes of <file> available to <target> as
#   namespace embedded { extern const std::string_view <symbol>; }
# The file is read at build time, so data kept in the repository ships inside the binary.
function(zp_embed target symbol file)
    set(out "${CMAKE_CURRENT_BINARY_DIR}/embedded_${symbol}.cpp")
    add_custom_command(
        OUTPUT "${out}"
        COMMAND ${CMAKE_COMMAND} -DIN=${file} -DOUT=${out} -DSYMBOL=${symbol}
                -P "${PROJECT_SOURCE_DIR}/cmake/EmbedFile.cmake"
        DEPENDS "${file}" "${PROJECT_SOURCE_DIR}/cmake/EmbedFile.cmake"
        COMMENT "Embedding ${file}")
    target_sources(${target} PRIVATE "${out}")
endfunction()
