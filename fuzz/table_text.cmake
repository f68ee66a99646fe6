target_compile_options(orvendal_tables PRIVATE -fsanitize=fuzzer-no-link)
orvendal_fuzzer(table_text ${CMAKE_CURRENT_SOURCE_DIR}/table_text.cpp orvendal_tables)
