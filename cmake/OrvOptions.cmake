# Warnings and sanitizers for the project's own targets.

if(ORV_SANITIZE)
  set(_orv_san_flags -fsanitize=${ORV_SANITIZE} -fno-omit-frame-pointer)
  if(ORV_SANITIZE MATCHES "undefined")
    list(APPEND _orv_san_flags -fno-sanitize-recover=undefined)
  endif()
  add_compile_options(${_orv_san_flags})
  add_link_options(-fsanitize=${ORV_SANITIZE})
endif()

# True when this configuration runs only the suites that exercise threads.
if(ORV_SANITIZE STREQUAL "thread")
  set(ORV_THREADED_ONLY ON)
else()
  set(ORV_THREADED_ONLY OFF)
endif()

function(orv_project_target target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()
