orvendal_fuzzer(jet_sql ${CMAKE_CURRENT_SOURCE_DIR}/jet_sql.cpp orvendal_db)
