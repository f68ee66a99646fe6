find_package(OpenSSL REQUIRED)
add_executable(bench_crypt ${CMAKE_CURRENT_SOURCE_DIR}/crypt.cpp)
target_link_libraries(bench_crypt PRIVATE orvendal_protect OpenSSL::Crypto ZLIB::ZLIB
                      benchmark::benchmark)
