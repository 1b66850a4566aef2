# qubra_embed_text(<target> <symbol> <file>): compiles the text of <file> into a static
# library <target> as `extern const std::string_view <symbol>` (header "resources/<symbol>.h"),
# so that the programs need no data file at run time.
function(qubra_embed_text target symbol file)
  set(out_dir ${CMAKE_BINARY_DIR}/generated/resources)
  set(cpp ${out_dir}/${symbol}.cpp)
  set(hdr ${out_dir}/${symbol}.h)
  add_custom_command(
    OUTPUT ${cpp} ${hdr}
    COMMAND ${CMAKE_COMMAND} -DSYMBOL=${symbol} -DINPUT=${file} -DCPP=${cpp} -DHDR=${hdr}
            -P ${PROJECT_SOURCE_DIR}/cmake/EmbedText.cmake
    DEPENDS ${file} ${PROJECT_SOURCE_DIR}/cmake/EmbedText.cmake
    COMMENT "Embedding ${file}")
  add_library(${target} STATIC ${cpp})
  target_include_directories(${target} PUBLIC ${CMAKE_BINARY_DIR}/generated)
endfunction()
