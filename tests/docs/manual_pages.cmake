# Fails when a program's manual page (docs/man/) and its section of docs/cli.md list different
# options, or when the program's usage text names an option that neither documents.
# Run by CTest: cmake -DSOURCE_DIR=... -DBINARY_DIR=... -P this file.
cmake_minimum_required(VERSION 3.25)

# The options in `text`: words of one or two dashes and letters, not inside another word.
function(options_in text out)
  string(REGEX REPLACE "[][;]" " " text "${text}")  # brackets would group list items
  string(REGEX MATCHALL "(^|[^-a-zA-Z0-9])--?[a-zA-Z][-a-zA-Z]*" found "${text}")
  set(result "")
  foreach(word IN LISTS found)
    string(REGEX REPLACE "^[^-]" "" word "${word}")
    list(APPEND result "${word}")
  endforeach()
  list(REMOVE_DUPLICATES result)
  list(SORT result)
  set(${out} "${result}" PARENT_SCOPE)
endfunction()

file(READ "${SOURCE_DIR}/docs/cli.md" cli)
set(problems "")
foreach(program orva qxasm qxdis)
  # docs/cli.md: the first cell of each table row in the program's section.
  string(REGEX MATCH "\n## ${program}\n.*" section "${cli}")
  string(REGEX REPLACE "^\n## ${program}\n(.*)" "\\1" section "${section}")
  string(REGEX REPLACE "\n## .*" "" section "${section}")
  string(REGEX MATCHALL "\n\\| `[^|]*" cells "${section}")
  string(REPLACE "`" " " cells "${cells}")
  options_in("${cells}" from_cli)

  # The manual page: the tag line after each .TP of its OPTIONS section.
  file(READ "${SOURCE_DIR}/docs/man/${program}.1" page)
  string(REGEX MATCH "\n\\.SH OPTIONS\n.*" page "${page}")
  string(REGEX REPLACE "^\n\\.SH OPTIONS\n" "" page "${page}")
  string(REGEX REPLACE "\n\\.SH .*" "" page "${page}")
  string(REPLACE "\\-" "-" page "${page}")
  string(REGEX REPLACE "\\\\f[BIRP]" "" page "${page}")
  string(REGEX MATCHALL "\\.TP\n[^\n]*" tags "${page}")
  string(REGEX REPLACE "\\.(BI|BR|B|I|IR|RB) " " " tags "${tags}")
  string(REPLACE "\"" " " tags "${tags}")
  options_in("${tags}" from_man)

  if(NOT from_cli STREQUAL from_man)
    string(APPEND problems "${program}: docs/cli.md has [${from_cli}], ${program}.1 has [${from_man}]\n")
  endif()
  if(NOT from_cli)
    string(APPEND problems "${program}: no options found in docs/cli.md\n")
  endif()

  execute_process(COMMAND "${BINARY_DIR}/${program}" --help OUTPUT_VARIABLE usage
                  ERROR_VARIABLE usage RESULT_VARIABLE status)
  options_in("${usage}" from_usage)
  foreach(option IN LISTS from_usage)
    if(NOT option IN_LIST from_cli)
      string(APPEND problems "${program}: its usage text names ${option}, the documents do not\n")
    endif()
  endforeach()
endforeach()

if(problems)
  message(FATAL_ERROR "manual pages and docs/cli.md disagree:\n${problems}")
endif()
