# Writes the program's revision (git describe) into OUT, touching the file
# only when the text changes so that nothing rebuilds for nothing.
execute_process(COMMAND git describe --always --dirty --tags
                WORKING_DIRECTORY "${SOURCE_DIR}"
                OUTPUT_VARIABLE revision OUTPUT_STRIP_TRAILING_WHITESPACE
                ERROR_QUIET RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR revision STREQUAL "")
  set(revision "unknown")
endif()
set(text "#pragma once\n#define VEX2D_REVISION \"${revision}\"\n")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
  if(old STREQUAL text)
    return()
  endif()
endif()
file(WRITE "${OUT}" "${text}")
