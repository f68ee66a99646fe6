orvendal_fuzzer(inflate ${CMAKE_CURRENT_SOURCE_DIR}/inflate.cpp orvendal_protect)
