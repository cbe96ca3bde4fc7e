# Delayed loading of the system DLLs that Windows does not keep on its list of
# known DLLs. Windows before 10 version 1607 ignores the image's dependent-load
# flags (app/load_config_win.cpp) and looks for such a DLL beside the program
# first; linked for delayed loading, it is loaded at its first call instead,
# by the hooks in app/delay_load_win.cpp, from the system folder.
#
# tovi_delay_load(<target> <name>...) builds a delay-import library
# lib<name>.a from MinGW's import library of each name, in a folder that the
# target's linker searches before the toolchain's own: every -l<name> of the
# target, its libraries' included, then links the delayed form. Other targets
# (the tests) keep the ordinary imports.
set(TOVI_DELAY_LOADED_DLLS bcrypt comctl32 crypt32 iphlpapi uxtheme)

function(tovi_delay_load target)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}-delay-import)
  set(script ${PROJECT_SOURCE_DIR}/scripts/make-delay-import-lib)
  set(libs)
  foreach(name ${ARGN})
    execute_process(COMMAND ${CMAKE_C_COMPILER} -print-file-name=lib${name}.a
                    OUTPUT_VARIABLE import_lib OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${import_lib}" OR NOT EXISTS "${import_lib}")
      message(FATAL_ERROR "no import library lib${name}.a for delayed loading")
    endif()
    add_custom_command(OUTPUT ${dir}/lib${name}.a
      COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
      COMMAND ${script} ${import_lib} ${dir}/lib${name}.a ${CMAKE_NM} ${CMAKE_DLLTOOL}
      DEPENDS ${script} ${import_lib}
      COMMENT "Delay-import library for ${name}"
      VERBATIM)
    list(APPEND libs ${dir}/lib${name}.a)
  endforeach()
  add_custom_target(${target}_delay_imports DEPENDS ${libs})
  add_dependencies(${target} ${target}_delay_imports)
  target_link_directories(${target} BEFORE PRIVATE ${dir})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${libs})
endfunction()
