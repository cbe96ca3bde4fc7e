# The window's pictures and the program icon, drawn at build time by
# resources/make-pictures. tovi_add_pictures(<target>) compiles
# resources/pictures.rc into a Windows target.
set(TOVI_PICTURES_DIR ${CMAKE_BINARY_DIR}/resources)
set(TOVI_PICTURES)
foreach(name 2000 2001 2002 2010 2018 2019 2100)
  list(APPEND TOVI_PICTURES ${TOVI_PICTURES_DIR}/${name}.bmp)
endforeach()
list(APPEND TOVI_PICTURES ${TOVI_PICTURES_DIR}/tovi.ico)
add_custom_command(OUTPUT ${TOVI_PICTURES}
  COMMAND ${PROJECT_SOURCE_DIR}/resources/make-pictures ${TOVI_PICTURES_DIR}
  DEPENDS ${PROJECT_SOURCE_DIR}/resources/make-pictures
  COMMENT "Drawing the window's pictures")
add_custom_target(tovi_pictures DEPENDS ${TOVI_PICTURES})

function(tovi_add_pictures target)
  enable_language(RC)
  set(rc ${PROJECT_SOURCE_DIR}/resources/pictures.rc)
  target_sources(${target} PRIVATE ${rc})
  add_dependencies(${target} tovi_pictures)
  set_source_files_properties(${rc} TARGET_DIRECTORY ${target} PROPERTIES
    OBJECT_DEPENDS "${TOVI_PICTURES}"
    INCLUDE_DIRECTORIES "${TOVI_PICTURES_DIR}")
endfunction()
