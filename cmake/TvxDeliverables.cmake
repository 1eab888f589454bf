# Deliverables: each is declared once, in its decoder's folder, by
#
#   tvx_add_deliverable(<folder> PROGRAM <program name> SOURCES <decoder sources...>)
#
# which makes the decoder library tvx_decoder_<folder> and adds the deliverable to the list from
# which everything else is made: its plug-in program (plugins/), the registry of all decoders for
# the tools and the fuzz targets (decoders/registry.cpp), its unit tests
# (decoders/<folder>/tests/*_test.cpp), its fuzz target and its Windows tests. The decoder's
# header decoders/<folder>/<folder>_decoder.h declares, in namespace tvx::<folder>, its kInfo, its
# State, ReadStream and WriteBlock.
function(tvx_add_deliverable folder)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "PROGRAM" "SOURCES")
  if(NOT arg_PROGRAM OR NOT arg_SOURCES OR arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "tvx_add_deliverable(${folder}): PROGRAM <name> SOURCES <files...>")
  endif()
  add_library(tvx_decoder_${folder} STATIC ${arg_SOURCES})
  target_include_directories(tvx_decoder_${folder} PUBLIC ${PROJECT_SOURCE_DIR}/decoders)
  target_link_libraries(tvx_decoder_${folder} PUBLIC tvx_framework PRIVATE tvx_warnings)
  # The build's own texts about the deliverable (the version resource of the Windows program)
  # come from the header's kInfo too: {"<program>", "<class word>", ...}.
  file(READ ${CMAKE_CURRENT_SOURCE_DIR}/${folder}_decoder.h header)
  if(NOT header MATCHES "kInfo = {[ \n]*\"([^\"]*)\",[ \n]*\"([^\"]*)\"")
    message(FATAL_ERROR "${folder}_decoder.h: no kInfo = {\"<program>\", \"<class word>\", ...}")
  endif()
  if(NOT CMAKE_MATCH_1 STREQUAL arg_PROGRAM)
    message(FATAL_ERROR "${folder}: PROGRAM ${arg_PROGRAM}, but kInfo names ${CMAKE_MATCH_1}")
  endif()
  set_property(GLOBAL APPEND PROPERTY TVX_DELIVERABLES ${folder})
  set_property(GLOBAL PROPERTY TVX_PROGRAM_${folder} ${arg_PROGRAM})
  set_property(GLOBAL PROPERTY TVX_CLASS_WORD_${folder} ${CMAKE_MATCH_2})
endfunction()

# The folders of the declared deliverables, in the order declared.
function(tvx_deliverables out)
  get_property(folders GLOBAL PROPERTY TVX_DELIVERABLES)
  set(${out} ${folders} PARENT_SCOPE)
endfunction()

# The program name of the deliverable in `folder`.
function(tvx_program_of folder out)
  get_property(program GLOBAL PROPERTY TVX_PROGRAM_${folder})
  set(${out} ${program} PARENT_SCOPE)
endfunction()

# The control class word of the deliverable in `folder` (its kInfo's classWord).
function(tvx_class_word_of folder out)
  get_property(word GLOBAL PROPERTY TVX_CLASS_WORD_${folder})
  set(${out} ${word} PARENT_SCOPE)
endfunction()

# The registry: every declared decoder in one library, for the tools and the fuzz targets.
function(tvx_add_registry)
  tvx_deliverables(folders)
  set(includes "")
  set(entries "")
  foreach(folder ${folders})
    string(APPEND includes "#include \"${folder}/${folder}_decoder.h\"\n")
    string(APPEND entries "TVX_DECODER(${folder})\n")
  endforeach()
  set(generated ${CMAKE_BINARY_DIR}/generated)
  file(CONFIGURE OUTPUT ${generated}/decoder_headers.inc CONTENT "${includes}")
  file(CONFIGURE OUTPUT ${generated}/deliverables.inc CONTENT "${entries}")
  add_library(tvx_all_decoders STATIC ${PROJECT_SOURCE_DIR}/decoders/registry.cpp)
  target_include_directories(tvx_all_decoders PUBLIC ${PROJECT_SOURCE_DIR}/decoders
    PRIVATE ${generated})
  target_link_libraries(tvx_all_decoders PUBLIC tvx_framework PRIVATE tvx_warnings)
  foreach(folder ${folders})
    target_link_libraries(tvx_all_decoders PUBLIC tvx_decoder_${folder})
  endforeach()
endfunction()
