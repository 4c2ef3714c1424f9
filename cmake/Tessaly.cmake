# Helpers shared by every folder's CMakeLists.txt.

# tessaly_library(NAME <name> [LIBS <deps>...])
# A static library from every source file in the calling folder and its
# subfolders, so adding a file needs no edit here.
function(tessaly_library)
  cmake_parse_arguments(ARG "" "NAME" "LIBS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c
    ${CMAKE_CURRENT_SOURCE_DIR}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  add_library(tessaly_${ARG_NAME} STATIC ${sources})
  add_library(tessaly::${ARG_NAME} ALIAS tessaly_${ARG_NAME})
  target_link_libraries(tessaly_${ARG_NAME} PUBLIC ${ARG_LIBS})
endfunction()

# tessaly_tests(LABEL <label> [LIBS <deps>...])
# One test program per folder of tests/, every source file in it, each
# GoogleTest case a ctest entry carrying the folder's label.
function(tessaly_tests)
  cmake_parse_arguments(ARG "" "LABEL" "LIBS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
    ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  set(target tests_${ARG_LABEL})
  add_executable(${target} ${sources})
  target_link_libraries(${target} PRIVATE tessaly_testsupport ${ARG_LIBS})
  target_compile_definitions(${target} PRIVATE
    TESSALY_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data"
    TESSALY_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${ARG_LABEL} ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
endfunction()
