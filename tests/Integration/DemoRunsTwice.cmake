# The demo's short run, twice, with the fixed-step clock: each run must succeed (which includes a
# log without ERROR lines it did not expect and, in the sanitizer build, no leak at exit) and print
# a line per phase and its summary; both runs must write the same frames byte for byte, and the
# frames must equal their golden images.
# Arguments: DEMO (the executable), FRAMES_CHECK (the golden-image checker), OUT (a directory of
# the test's own).
foreach(run first second)
  file(REMOVE_RECURSE "${OUT}/${run}")
  execute_process(
    COMMAND "${CMAKE_COMMAND}" -E env ZEL_FIXED_STEP_MS=16 "${DEMO}" --quick --out "${OUT}/${run}"
    RESULT_VARIABLE result OUTPUT_VARIABLE printed)
  message(STATUS "${printed}")
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "the ${run} run exited with ${result}")
  endif()
  # A line per phase and the summary, on stdout and in summary.txt.
  foreach(phase "data tree" "window" "direct creation" "queued creation" "frame loop"
                "actor snapshot" "release" "shutdown" "summary")
    if(NOT printed MATCHES "zel_demo: ${phase}")
      message(FATAL_ERROR "the ${run} run printed no line for ${phase}")
    endif()
  endforeach()
  file(READ "${OUT}/${run}/summary.txt" summary)
  if(NOT summary MATCHES "ERROR lines" OR NOT printed MATCHES "ms per frame")
    message(FATAL_ERROR "the ${run} run wrote no summary")
  endif()
endforeach()

file(GLOB frames RELATIVE "${OUT}/first/frames" "${OUT}/first/frames/*.png")
list(LENGTH frames count)
if(count EQUAL 0)
  message(FATAL_ERROR "the first run wrote no frames")
endif()
foreach(frame IN LISTS frames)
  execute_process(
    COMMAND "${CMAKE_COMMAND}" -E compare_files "${OUT}/first/frames/${frame}"
            "${OUT}/second/frames/${frame}"
    RESULT_VARIABLE differs)
  if(NOT differs EQUAL 0)
    message(FATAL_ERROR "${frame} differs between the two runs")
  endif()
endforeach()
execute_process(
  COMMAND "${CMAKE_COMMAND}" -E env "DEMO_FRAMES=${OUT}/first/frames" "${FRAMES_CHECK}"
  RESULT_VARIABLE golden)
if(NOT golden EQUAL 0)
  message(FATAL_ERROR "the frames differ from their golden images")
endif()
message(STATUS "${count} frames, the same in both runs and equal to their golden images")
