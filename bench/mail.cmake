add_executable(bench_mail ${CMAKE_CURRENT_SOURCE_DIR}/mail.cpp)
target_link_libraries(bench_mail PRIVATE orvendal_transport orvendal_protect)
