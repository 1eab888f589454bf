# Writes the annotated hex of the example program: a Windows program's head, then one control
# record per sample (word n, name, 00, FF, word m, class name, 00, the property stream), each
# stream the sample's bytes from its start position to the end of the sample file.
#   cmake -DLIST=samples.txt -DSAMPLES=DIR -DOUT=example.hex -P MakeExample.cmake
# The plug-in host control's class name is its hosted plug-in's: Tevo.Host here, given to tvx as
# --class Tevo.Host=ActiveXPlugin.
set(name_PERSONA.Persona Merlin1)
set(class_PERSONA.Persona AgentObjectsCtl.Agent)
set(name_EMBEDHOST.Embedder Player1)
set(class_EMBEDHOST.Embedder Tevo.Host)
set(name_DTGRID.Almanac Calendar1)
set(class_DTGRID.Almanac MSACAL.Calendar)
set(name_STDPICK.Picker CommonDialog1)
set(class_STDPICK.Picker MSComDlg.CommonDialog)
set(name_SERLINK.SerialLink MSComm1)
set(class_SERLINK.SerialLink MSCommLib.MSComm)
set(name_RECNAV.Navigator Adodc1)
set(class_RECNAV.Navigator MSAdodcLib.Adodc)

set(hex "# The example program: one record of each of the six controls, made from the samples.\n")
string(APPEND hex "\"MZ\" 90 00 03 00 00 00 04 00 00 00 FF FF 00 00 B8 00 z:6 40 00 z:34 80 00 00 00\n")
string(APPEND hex "0E 1F BA 0E 00 B4 09 CD 21 B8 01 4C CD 21 \"This program cannot be run in DOS mode.\" 0D 0D 0A 24\n")
string(APPEND hex "z:7\n\"PE\" 00 00 4C 01 03 00\nz:870\n\"Form1\" 00 z:10\n")
file(STRINGS ${LIST} lines)
foreach(line ${lines})
  if(line MATCHES "^([A-Za-z.]+)[ \t]+([^ \t]+)[ \t]+([0-9]+)")
    set(control ${CMAKE_MATCH_1})
    set(file ${CMAKE_MATCH_2})
    math(EXPR offset "${CMAKE_MATCH_3} - 1")
    set(name ${name_${control}})
    set(class ${class_${control}})
    if(NOT name OR NOT class)
      message(FATAL_ERROR "${LIST}: no name and class name for ${control}")
    endif()
    string(LENGTH "${name}" n)
    string(LENGTH "${class}" m)
    file(READ ${SAMPLES}/${file} stream HEX OFFSET ${offset})
    string(REGEX REPLACE "(..)" "\\1 " stream "${stream}")
    string(APPEND hex "# ${control}: ${file} from position ${CMAKE_MATCH_3}\n"
      "w:${n} \"${name}\" 00 FF w:${m} \"${class}\" 00\n${stream}\nz:24\n")
  endif()
endforeach()
file(WRITE ${OUT} "${hex}")
