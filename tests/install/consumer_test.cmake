# Installs the build tree BUILD into WORK/prefix and builds consumer.cc
# against it twice, through find_package and through pkg-config, with a
# folder of look-alike headers first on the include path (nothing of ours
# may reach a consumer's own host/ or dataset/ headers). Then runs both
# programs. For a shared library it also checks that internal symbols are
# not exported.
#   cmake -DBUILD=... -DWORK=... -DCXX=... -DSHARED=ON|OFF
#         -DSANITIZE=... -P consumer_test.cmake
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

set(prefix ${WORK}/prefix)
set(decoy ${WORK}/decoy)
file(REMOVE_RECURSE ${WORK})
run(${CMAKE_COMMAND} --install ${BUILD} --prefix ${prefix})

set(include ${prefix}/include/orvclient)
foreach(internal resultset/reply_parser.h dataset/request_text.h dataset/result_thread.h)
  if(EXISTS ${include}/${internal})
    message(FATAL_ERROR "internal header installed: ${internal}")
  endif()
endforeach()
file(GLOB_RECURSE headers RELATIVE ${include} ${include}/*.h)
foreach(h IN LISTS headers)
  file(WRITE ${decoy}/${h} "#error \"the consumer's own ${h} was reached\"\n")
endforeach()

set(flags "")
if(SANITIZE)
  set(flags "-fsanitize=${SANITIZE}")
endif()
get_filename_component(here ${CMAKE_CURRENT_LIST_FILE} DIRECTORY)

run(${CMAKE_COMMAND} -S ${here} -B ${WORK}/cmake-build -DCMAKE_CXX_COMPILER=${CXX}
    -DCMAKE_PREFIX_PATH=${prefix} -DDECOY=${decoy} "-DCMAKE_CXX_FLAGS=${flags}"
    -DCMAKE_BUILD_RPATH=${prefix}/lib)
run(${CMAKE_COMMAND} --build ${WORK}/cmake-build)
run(${WORK}/cmake-build/consumer)

find_program(PKG_CONFIG pkg-config REQUIRED)
set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
set(static "")
if(NOT SHARED)
  set(static --static)
endif()
run(${PKG_CONFIG} ${static} --cflags --libs orvclient)
separate_arguments(pc_flags UNIX_COMMAND "${out}")
separate_arguments(san UNIX_COMMAND "${flags}")
run(${CXX} -std=c++20 ${san} -I${decoy} ${here}/consumer.cc ${pc_flags}
    -Wl,-rpath,${prefix}/lib -o ${WORK}/consumer-pc)
run(${WORK}/consumer-pc)

if(SHARED)
  file(GLOB library ${prefix}/lib/liborvclient.so)
  run(nm -DC --defined-only ${library})
  if(NOT out MATCHES "orv::TOrvRDB::StartTransaction")
    message(FATAL_ERROR "the shared library does not export the components")
  endif()
  if(out MATCHES "orv::TReplyParser|orv::BuildCommandMessage")
    message(FATAL_ERROR "the shared library exports internal symbols")
  endif()
endif()
