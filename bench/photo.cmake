add_executable(bench_photo ${CMAKE_CURRENT_SOURCE_DIR}/photo.cpp)
target_link_libraries(bench_photo PRIVATE orvendal_photo)
