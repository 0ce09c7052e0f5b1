# Writes a program's manual page from its own --help text, so that the page
# says what the program says and the two never drift apart.
#
# The help texts share one layout, which this reads:
#   "Usage: <synopsis>"   first line, continued by lines indented 3 or more
#   <description>         lines that start in the first column
#   "  <option>  <text>"  an option (two spaces in), its meaning after two or
#                         more spaces or on the lines below, indented further
#   "Example: <command>"  the last line
#
# Variables: PROGRAM (the built program), NAME (its name), VERSION (the
# project version), OUTPUT (the page to write).

cmake_minimum_required(VERSION 3.20)

execute_process(COMMAND "${PROGRAM}" --help OUTPUT_VARIABLE help RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${PROGRAM} --help failed: ${failed}")
endif()

# Roff: a backslash is written \e, a dash \- (so that it is a minus a reader
# can search and copy), and a line may not start with a period or quote.
function(roff_text out text)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  if(text MATCHES "^[.']")
    set(text "\\&${text}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# One line per list item: semicolons and brackets (which CMake lists treat
# specially) stand in placeholders until the page is written.
string(REPLACE ";" "@QSEMI@" help "${help}")
string(REPLACE "[" "@QLB@" help "${help}")
string(REPLACE "]" "@QRB@" help "${help}")
string(REGEX REPLACE "\n$" "" help "${help}")
string(REPLACE "\n" ";" lines "${help}")

set(synopsis "")
set(description "")
set(options "")
set(example "")
set(state synopsis)
foreach(line IN LISTS lines)
  if(state STREQUAL "synopsis" AND synopsis STREQUAL "" AND line MATCHES "^[Uu]sage: (.*)$")
    set(synopsis "${CMAKE_MATCH_1}")
    continue()
  endif()
  if(state STREQUAL "synopsis" AND line MATCHES "^   +(.*)$")
    string(APPEND synopsis " ${CMAKE_MATCH_1}")
    continue()
  endif()
  if(line MATCHES "^Example: (.*)$")
    set(example "${CMAKE_MATCH_1}")
    set(state example)
  elseif(line MATCHES "^  [^ ]")
    # The option ends at the first run of two blanks.
    string(REGEX REPLACE "^  " "" rest "${line}")
    string(FIND "${rest}" "  " gap)
    if(gap EQUAL -1)
      set(option "${rest}")
      set(meaning "")
    else()
      string(SUBSTRING "${rest}" 0 ${gap} option)
      string(SUBSTRING "${rest}" ${gap} -1 meaning)
      string(STRIP "${meaning}" meaning)
    endif()
    roff_text(option "${option}")
    roff_text(meaning "${meaning}")
    string(APPEND options ".TP\n.B ${option}\n")
    if(NOT meaning STREQUAL "")
      string(APPEND options "${meaning}\n")
    endif()
    set(state options)
  elseif(state STREQUAL "options" AND line MATCHES "^   +(.*)$")
    roff_text(meaning "${CMAKE_MATCH_1}")
    string(APPEND options "${meaning}\n")
  else()
    string(STRIP "${line}" line)
    string(APPEND description " ${line}")
    set(state description)
  endif()
endforeach()
string(STRIP "${description}" description)

# The name line: the description's first clause.
set(summary "${description}")
string(REGEX REPLACE "([.:] |@QSEMI@ |[.]$).*$" "" summary "${summary}")
string(SUBSTRING "${summary}" 0 1 first)
string(SUBSTRING "${summary}" 1 -1 others)
string(TOLOWER "${first}" first)
set(summary "${first}${others}")

string(TOUPPER "${NAME}" title)
roff_text(synopsis "${synopsis}")
roff_text(description "${description}")
roff_text(summary "${summary}")
roff_text(example "${example}")
set(page ".TH ${title} 1 \"\" \"quilm2 ${VERSION}\" \"User Commands\"\n")
string(APPEND page ".SH NAME\n${NAME} \\- ${summary}\n")
string(APPEND page ".SH SYNOPSIS\n.nf\n${synopsis}\n.fi\n")
string(APPEND page ".SH DESCRIPTION\n${description}\n")
string(APPEND page ".SH OPTIONS\n${options}")
if(NOT example STREQUAL "")
  string(APPEND page ".SH EXAMPLE\n.nf\n${example}\n.fi\n")
endif()
string(APPEND page ".SH SEE ALSO\nREADME.md in share/doc/quilm2 below the installation prefix.\n")
string(REPLACE "@QSEMI@" ";" page "${page}")
string(REPLACE "@QLB@" "[" page "${page}")
string(REPLACE "@QRB@" "]" page "${page}")
file(WRITE "${OUTPUT}" "${page}")
