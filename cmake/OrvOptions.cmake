# Warnings and sanitizers for the project's own targets.

if(ORV_SANITIZE)
  set(_orv_san_flags -fsanitize=${ORV_SANITIZE} -fno-omit-frame-pointer)
  if(ORV_SANITIZE MATCHES "undefined")
    list(APPEND _orv_san_flags -fno-sanitize-recover=undefined)
  endif()
  add_compile_options(${_orv_san_flags})
  add_link_options(-fsanitize=${ORV_SANITIZE})
endif()

# The fuzzing configuration: clang, libFuzzer coverage on every target, and
# AddressSanitizer with UndefinedBehaviorSanitizer; only the fuzz targets
# link the fuzzer's main.
if(ORV_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "ORV_FUZZ needs clang: -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined
                      -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# True when this configuration runs only the suites that exercise threads.
if(ORV_SANITIZE STREQUAL "thread")
  set(ORV_THREADED_ONLY ON)
else()
  set(ORV_THREADED_ONLY OFF)
endif()

function(orv_project_target target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  # g++ 12 reports false -Wrestrict overlaps inside libstdc++'s string
  # concatenation when optimising (-O2 and above inline it); the warning is
  # not about our code.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND
     CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12 AND
     CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
endfunction()
