# Installs the build into a scratch DESTDIR with the prefix /usr and runs the installed programs
# headless: orva must find its default program and qxasm its qx.inc from where they are
# installed. Run by CTest: cmake -DBINARY_DIR=... -DDEFAULT_PROGRAM=... -P this file.
cmake_minimum_required(VERSION 3.25)

set(dest "${BINARY_DIR}/install-test")
set(usr "${dest}/usr")
file(REMOVE_RECURSE "${dest}")

function(run)
  cmake_parse_arguments(R "" "EXPECT" "COMMAND" ${ARGN})
  execute_process(COMMAND ${R_COMMAND} RESULT_VARIABLE status OUTPUT_VARIABLE out
                  ERROR_VARIABLE err WORKING_DIRECTORY "${dest}")
  if(NOT status STREQUAL "0")
    string(REPLACE ";" " " shown "${R_COMMAND}")
    message(FATAL_ERROR "${shown}: status ${status}\n${out}\n${err}")
  endif()
  if(R_EXPECT AND NOT out MATCHES "${R_EXPECT}")
    message(FATAL_ERROR "${R_COMMAND}: output lacks '${R_EXPECT}':\n${out}")
  endif()
endfunction()

file(MAKE_DIRECTORY "${dest}")
run(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${dest}
            ${CMAKE_COMMAND} --install "${BINARY_DIR}" --prefix /usr)

foreach(file bin/orva bin/qxasm bin/qxdis share/orva/${DEFAULT_PROGRAM}/MAIN.QX
        share/orva/include/qx.inc share/man/man1/orva.1.gz share/man/man1/qxasm.1.gz
        share/man/man1/qxdis.1.gz share/applications/orva.desktop
        share/icons/hicolor/scalable/apps/orva.svg)
  if(NOT EXISTS "${usr}/${file}")
    message(FATAL_ERROR "not installed: /usr/${file}")
  endif()
endforeach()

# The default program runs and writes its greeting to debug.log.
run(COMMAND "${usr}/bin/orva" --headless --ticks 100 --data-dir "${dest}/data")
if(NOT EXISTS "${dest}/data/debug.log")
  message(FATAL_ERROR "the installed default program wrote no debug.log")
endif()

# qxasm finds qx.inc in share/orva/include; qxdis reads what it wrote.
file(WRITE "${dest}/probe.qxs" ".include \"qx.inc\"\n.code\nmain: enter 0, 0\n"
           "        cmp.l [fp+MSG_CODE], #MSG_STARTUP\n        ret 0\n")
run(COMMAND "${usr}/bin/qxasm" probe.qxs -o probe.QX)
run(COMMAND "${usr}/bin/qxdis" probe.QX EXPECT "\\.code")
file(REMOVE_RECURSE "${dest}")
