# Builds that check memory and undefined behaviour while reading hostile input.
#
# TESSALY_SANITIZE: every target with AddressSanitizer and
#   UndefinedBehaviorSanitizer; any finding ends the program with an error.
# TESSALY_FUZZ: the same, plus libFuzzer coverage in every library and the
#   fuzz targets of fuzz/. Tests still build and run in such a build, so one
#   build folder serves both `make asan` and `make fuzz`.
# Both need clang (CC=clang CXX=clang++).

option(TESSALY_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(TESSALY_FUZZ "Build the libFuzzer targets (implies TESSALY_SANITIZE)" OFF)

if(TESSALY_FUZZ)
  set(TESSALY_SANITIZE ON)
endif()

if(TESSALY_SANITIZE)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "Sanitizer and fuzzing builds need clang: CC=clang CXX=clang++")
  endif()
  # Findings inside Qt's own inline code that our sources instantiate are
  # listed, each with its reason, in this file; nothing of ours goes there.
  # ccache does not look into ignore lists, so the compilers get a copy whose
  # name carries its digest: an edited list recompiles instead of reusing
  # objects built with the old one.
  set(ignores ${CMAKE_CURRENT_LIST_DIR}/sanitizer-ignores.txt)
  file(SHA256 ${ignores} digest)
  string(SUBSTRING ${digest} 0 16 digest)
  set(TESSALY_SANITIZER_IGNORES ${CMAKE_BINARY_DIR}/sanitizer-ignores-${digest}.txt)
  configure_file(${ignores} ${TESSALY_SANITIZER_IGNORES} COPYONLY)
  add_compile_options(
    -fsanitize=address,undefined
    -fno-sanitize-recover=all
    -fsanitize-ignorelist=${TESSALY_SANITIZER_IGNORES}
    -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(TESSALY_FUZZ)
  # Coverage for the fuzzer in every library; the fuzz targets add the
  # libFuzzer main when they link.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
