# The sanitizer build (KV350_SANITIZE) and the fuzz targets (KV350_FUZZ), both
# in a second build directory; scripts/sanitize.sh and scripts/fuzz.sh make it.
#
# Our own targets are built with AddressSanitizer and UndefinedBehaviorSanitizer;
# undefined behaviour is not recovered from, so it fails the test that ran into
# it. Qt, hidapi and GoogleTest come from the system and are not instrumented.
# With KV350_FUZZ (clang only) every library also gets libFuzzer's coverage
# instrumentation, so that the tests and the fuzz targets share one build.

option(KV350_SANITIZE "Build our code with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(KV350_FUZZ "Also build the libFuzzer targets of fuzz/ (clang)" OFF)

if(KV350_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "KV350_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++-14")
  endif()
  set(KV350_SANITIZE ON CACHE BOOL "" FORCE)
endif()

if(KV350_SANITIZE)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    message(FATAL_ERROR "KV350_SANITIZE needs gcc or clang")
  endif()
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  if(KV350_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link)
  endif()
  # Every program gets the options that make a finding fail (and the
  # suppressions for what is not ours), however it is started: by ctest, by
  # test discovery at build time, or as a child of a test.
  set(KV350_LSAN_SUPPRESSIONS ${CMAKE_CURRENT_LIST_DIR}/sanitize/lsan.supp)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/sanitize/defaultoptions.cpp.in
                 ${CMAKE_BINARY_DIR}/sanitize/defaultoptions.cpp @ONLY)
  target_sources(kv350_warnings INTERFACE ${CMAKE_BINARY_DIR}/sanitize/defaultoptions.cpp)
endif()

# The options file goes into every target, libraries included; in a batch it
# would be linked in with a library's other code and clash with the program's
# own copy. Kept out of the batches in `dir` and every directory below it.
function(kv350_sanitize_options_alone dir)
  set_source_files_properties(${CMAKE_BINARY_DIR}/sanitize/defaultoptions.cpp DIRECTORY ${dir}
                              PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    kv350_sanitize_options_alone(${sub})
  endforeach()
endfunction()
