# The fuzz targets' stored inputs replayed as ordinary tests of the main
# build (with its sanitizers when they are on), without libFuzzer or a
# compiler of its own: each target's source linked to a small driver that
# feeds it every file of its corpus.
set(VEXO_FUZZ_DIR ${PROJECT_SOURCE_DIR}/fuzz)
add_library(vexo_fuzz_replay STATIC ${VEXO_FUZZ_DIR}/replay_main.cpp)
target_link_libraries(vexo_fuzz_replay PUBLIC vexo_common)

function(vexo_replay_fuzzer name)
  add_executable(replay_${name} ${VEXO_FUZZ_DIR}/${name}.cpp)
  target_include_directories(replay_${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${VEXO_FUZZ_DIR})
  target_link_libraries(replay_${name} PRIVATE vexo_common vexo_fuzz_replay ${ARGN})
  add_test(NAME fuzz_replay_${name} COMMAND replay_${name} ${VEXO_FUZZ_DIR}/corpus/${name})
  set_tests_properties(fuzz_replay_${name} PROPERTIES LABELS fuzz TIMEOUT 300
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

vexo_replay_fuzzer(fuzz_race_text vexo_store)
vexo_replay_fuzzer(fuzz_race_framing vexo_link)
vexo_replay_fuzzer(fuzz_track_data vexo_exchange)
vexo_replay_fuzzer(fuzz_filter vexo_store)
vexo_replay_fuzzer(fuzz_settings vexo_shell_core)
vexo_replay_fuzzer(fuzz_barcode vexo_barcode)
