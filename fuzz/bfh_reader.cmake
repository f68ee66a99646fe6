# The protect code itself carries the coverage counters, so the fuzzers see into the reader.
target_compile_options(orvendal_protect PRIVATE -fsanitize=fuzzer-no-link)
orvendal_fuzzer(bfh_reader ${CMAKE_CURRENT_SOURCE_DIR}/bfh_reader.cpp orvendal_protect)
