# Helpers shared by every folder's CMakeLists.txt.

# Qt's moc step of a target runs again only when a header it already ran on
# changes, so a header added later (found by the globs below) would never go
# through moc in an existing build folder. When the target's headers are not
# the ones of the last configuration, its moc step is made to run again.
function(tessaly_moc_follows_headers target sources)
  set(headers ${sources})
  list(FILTER headers INCLUDE REGEX "\\.h$")
  string(JOIN "\n" listed ${headers})
  set(record ${CMAKE_CURRENT_BINARY_DIR}/${target}_headers.txt)
  set(previous "")
  if(EXISTS ${record})
    file(READ ${record} previous)
  endif()
  if(NOT previous STREQUAL listed)
    file(WRITE ${record} "${listed}")
    file(REMOVE ${CMAKE_CURRENT_BINARY_DIR}/${target}_autogen/timestamp)
  endif()
endfunction()

# tessaly_library(NAME <name> [INCLUDE_AS <prefix>] [LIBS <deps>...])
# A static library from every source file in the calling folder and its
# subfolders (a subfolder with a CMakeLists.txt of its own is another
# library), so adding a file needs no edit here.
#
# Sources include headers by folder ("foundation/UndoManager.h"). Each library
# publishes only its own folder under that prefix, through a link in the
# build tree, so a header is found only by the libraries that link its owner:
# a dependency that is not declared does not compile.
function(tessaly_library)
  cmake_parse_arguments(ARG "" "NAME;INCLUDE_AS" "LIBS" ${ARGN})
  if(NOT ARG_INCLUDE_AS)
    get_filename_component(ARG_INCLUDE_AS ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  endif()
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c
    ${CMAKE_CURRENT_SOURCE_DIR}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  file(GLOB_RECURSE nested CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
  foreach(list IN LISTS nested)
    get_filename_component(folder ${list} DIRECTORY)
    list(FILTER sources EXCLUDE REGEX "^${folder}/")
  endforeach()
  add_library(tessaly_${ARG_NAME} STATIC ${sources})
  tessaly_moc_follows_headers(tessaly_${ARG_NAME} "${sources}")
  add_library(tessaly::${ARG_NAME} ALIAS tessaly_${ARG_NAME})
  target_link_libraries(tessaly_${ARG_NAME} PUBLIC ${ARG_LIBS})

  set(root ${CMAKE_BINARY_DIR}/include/${ARG_NAME})
  get_filename_component(parent ${root}/${ARG_INCLUDE_AS} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${ARG_INCLUDE_AS} SYMBOLIC)
  target_include_directories(tessaly_${ARG_NAME} PUBLIC ${root})
endfunction()

# tessaly_tests(LABEL <label> [WIDGETS] [LIBS <deps>...])
# One test program per folder of tests/, every source file in it, each
# GoogleTest case a ctest entry carrying the folder's label. The test main
# starts a QGuiApplication; WIDGETS starts a QApplication instead, for the
# folders whose code may use QtWidgets.
function(tessaly_tests)
  cmake_parse_arguments(ARG "WIDGETS" "LABEL" "LIBS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
    ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  # A subfolder with a CMakeLists.txt of its own builds something else (a
  # helper program the tests run).
  file(GLOB_RECURSE nested CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
  foreach(list IN LISTS nested)
    get_filename_component(folder ${list} DIRECTORY)
    list(FILTER sources EXCLUDE REGEX "^${folder}/")
  endforeach()
  set(target tests_${ARG_LABEL})
  add_executable(${target} ${sources})
  tessaly_moc_follows_headers(${target} "${sources}")
  if(ARG_WIDGETS)
    target_link_libraries(${target} PRIVATE tessaly_testmain_widgets)
  else()
    target_link_libraries(${target} PRIVATE tessaly_testmain)
  endif()
  target_link_libraries(${target} PRIVATE tessaly_testsupport ${ARG_LIBS})
  target_compile_definitions(${target} PRIVATE
    TESSALY_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data"
    TESSALY_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${ARG_LABEL} ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
endfunction()
