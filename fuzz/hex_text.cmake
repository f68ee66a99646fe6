orvendal_fuzzer(hex_text ${CMAKE_CURRENT_SOURCE_DIR}/hex_text.cpp orvendal_protect)
