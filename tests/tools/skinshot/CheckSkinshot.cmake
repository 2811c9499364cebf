# Runs skinshot into a fresh folder and expects exactly one PNG per window, by name.
# Variables: SKINSHOT (the program), HOME_DIR (the program folder with the built skins), OUT.
file(REMOVE_RECURSE "${OUT}")
execute_process(COMMAND "${SKINSHOT}" --home "${HOME_DIR}" --out "${OUT}" RESULT_VARIABLE status
                OUTPUT_QUIET ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "skinshot ended with ${status}: ${errors}")
endif()
file(GLOB shots RELATIVE "${OUT}" "${OUT}/*")
list(SORT shots)
set(expected button_states.png discoro_backup.png discoro_edit_ntsc.png discoro_edit_pal.png discoro_ntsc.png
             discoro_pal.png vistrel_live.png vistrel_playback.png)
if(NOT shots STREQUAL expected)
  message(FATAL_ERROR "skinshot wrote [${shots}], expected [${expected}]")
endif()
file(REMOVE_RECURSE "${OUT}")
