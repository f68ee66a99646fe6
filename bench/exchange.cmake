add_executable(bench_exchange ${CMAKE_CURRENT_SOURCE_DIR}/exchange.cpp)
target_link_libraries(bench_exchange PRIVATE orvendal_exchange)
# The handheld is the folder-backed library, loaded at run time as the real one is.
add_dependencies(bench_exchange orvendal-device-folder)
target_compile_definitions(bench_exchange PRIVATE
  ORVENDAL_DEVICE_LIBRARY="$<TARGET_FILE:orvendal-device-folder>")
