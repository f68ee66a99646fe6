add_executable(bench_db ${CMAKE_CURRENT_SOURCE_DIR}/db.cpp)
target_link_libraries(bench_db PRIVATE orvendal_db orvendal_tables benchmark::benchmark)
