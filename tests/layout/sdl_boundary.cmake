# Fails when a source file outside src/platform/sdl/ includes an SDL header: the core sees the
# desktop only through the platform interface. Run by CTest: cmake -DSOURCE_DIR=... -P this file.
file(GLOB_RECURSE sources "${SOURCE_DIR}/src/*.h" "${SOURCE_DIR}/src/*.cpp"
     "${SOURCE_DIR}/tools/*.h" "${SOURCE_DIR}/tools/*.cpp")
set(offenders "")
foreach(file IN LISTS sources)
  if(file MATCHES "/src/platform/sdl/")
    continue()
  endif()
  file(STRINGS "${file}" hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]SDL")
  if(hits)
    list(APPEND offenders "${file}: ${hits}")
  endif()
endforeach()
if(offenders)
  list(JOIN offenders "\n" text)
  message(FATAL_ERROR "SDL headers outside src/platform/sdl/:\n${text}")
endif()
