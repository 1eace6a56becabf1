# zelto's manual page, written from its own help (cmake -P; see Packaging.cmake):
# the overview as the description, each command's help as a section of its
# own, the built plug-in's path replaced by the installed one.
#   -DZELTO=path -DOUT=file -DVERSION=x.y.z -DBUILT_PLUGIN=path -DINSTALLED_PLUGIN=path

unset(ENV{ZELTO_PLUGIN})

function(help_of out)
  execute_process(COMMAND "${ZELTO}" help ${ARGN}
                  OUTPUT_VARIABLE text RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "zelto help ${ARGN} failed: ${failed}")
  endif()
  string(REPLACE "${BUILT_PLUGIN}" "${INSTALLED_PLUGIN}" text "${text}")
  # Text for troff: backslashes and minus signs written out, and no line
  # taken for a request.
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

help_of(overview)
set(page ".TH ZELTO 1 \"December 2026\" \"zelto ${VERSION}\" \"User Commands\"
.SH NAME
zelto \\- command\\-line host for the KRW Zelto limiter plug\\-in
.SH SYNOPSIS
.B zelto
.I command
.RI [ options ]
.SH DESCRIPTION
.nf
${overview}.fi
.SH COMMANDS
")
foreach(command info render master demo presets state snapshot gui play)
  help_of(text ${command})
  string(APPEND page ".SS ${command}\n.nf\n${text}.fi\n")
endforeach()
string(APPEND page ".SH FILES
.TP
.I ${INSTALLED_PLUGIN}
the plug\\-in zelto loads unless told otherwise
.SH SEE ALSO
.I /usr/share/doc/krw\\-zelto/README.md
")
file(WRITE "${OUT}" "${page}")
