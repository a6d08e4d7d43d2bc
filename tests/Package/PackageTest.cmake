# Run with cmake -P. MODE=host: installs the build in BUILD_DIR into WORK_DIR/prefix, configures
# and builds examples/minimal_host against it in WORK_DIR/build and runs both of its hosts in
# WORK_DIR/run.
# MODE=headers: copies Interface/ alone into WORK_DIR/include and compiles a translation unit per
# header against that folder only, so a header that needs a neighbour it does not include, or
# anything from Engine/ or Platform/, fails.
function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed (${result}): ${ARGV}\n${out}\n${err}")
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

if(MODE STREQUAL "headers")
  file(COPY ${SOURCE_DIR}/Interface DESTINATION ${WORK_DIR}/include)
  file(GLOB headers RELATIVE ${WORK_DIR}/include ${WORK_DIR}/include/Interface/*.h)
  if(NOT headers)
    message(FATAL_ERROR "no public headers found")
  endif()
  foreach(header IN LISTS headers)
    string(MAKE_C_IDENTIFIER ${header} name)
    file(WRITE ${WORK_DIR}/${name}.cpp "#include \"${header}\"\n")
    run(${CXX} -std=c++20 -Wall -Wextra -Werror -fsyntax-only -I ${WORK_DIR}/include
        ${WORK_DIR}/${name}.cpp)
  endforeach()
  list(LENGTH headers count)
  message(STATUS "${count} public headers compile alone")
elseif(MODE STREQUAL "host")
  run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix)
  foreach(file lib/cmake/ZelEngine/ZelEngineConfig.cmake include/ZelEngine/Interface/IRender.h)
    if(NOT EXISTS ${WORK_DIR}/prefix/${file})
      message(FATAL_ERROR "the install lacks ${file}")
    endif()
  endforeach()
  run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/minimal_host -B ${WORK_DIR}/build -G ${GENERATOR}
      -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix -DCMAKE_CXX_COMPILER=${CXX}
      "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${CXX_FLAGS}")
  run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
  # Both hosts: the one that loads the library with dlopen and the one linked against it.
  foreach(host minimal_host linked_host)
    file(MAKE_DIRECTORY ${WORK_DIR}/run/${host})
    execute_process(COMMAND ${WORK_DIR}/build/${host} WORKING_DIRECTORY ${WORK_DIR}/run/${host}
      RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "${host} exited with ${result}\n${out}\n${err}")
    endif()
    if(NOT out MATCHES "renderer deleted")
      message(FATAL_ERROR "${host} did not finish: ${out}")
    endif()
    message(STATUS "${host}: ${out}")
  endforeach()
else()
  message(FATAL_ERROR "MODE must be host or headers")
endif()
