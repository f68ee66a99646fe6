# orvendal_library(NAME [DEPS lib...])
# One static library per source folder: every .cpp directly in the folder (and in the
# folders listed in SUBDIRS) belongs to it. Headers are included as "folder/Name.h".
function(orvendal_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;SUBDIRS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(sub ${ARG_SUBDIRS})
    file(GLOB more CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/*.cpp)
    list(APPEND sources ${more})
  endforeach()
  if(sources)
    add_library(orvendal_${name} STATIC ${sources})
    set(scope PUBLIC)
  else()
    add_library(orvendal_${name} INTERFACE) # a folder without code yet
    set(scope INTERFACE)
  endif()
  add_library(orvendal::${name} ALIAS orvendal_${name})
  target_include_directories(orvendal_${name} ${scope} ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/generated)
  target_link_libraries(orvendal_${name} ${scope} ${ARG_DEPS})
endfunction()

# orvendal_test(NAME SOURCES file... LIBS lib...)
# One GoogleTest executable per test folder, registered with CTest case by case.
function(orvendal_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(test_${name} ${ARG_SOURCES} ${CMAKE_SOURCE_DIR}/tests/common/LeakSuppressions.cpp)
  target_link_libraries(test_${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(test_${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(test_${name} PRIVATE
    ORVENDAL_SOURCE_DIR="${CMAKE_SOURCE_DIR}" ORVENDAL_BINARY_DIR="${CMAKE_BINARY_DIR}")
  gtest_discover_tests(test_${name} DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 120 ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
