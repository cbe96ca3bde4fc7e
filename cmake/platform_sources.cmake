# tovi_platform_sources(<target> <name>...): adds <name>.cpp if it exists, and
# <name>_win.cpp or <name>_posix.cpp for the platform being built.
function(tovi_platform_sources target)
  foreach(name IN LISTS ARGN)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${name}.cpp)
      target_sources(${target} PRIVATE ${name}.cpp)
    endif()
    if(WIN32)
      set(variant ${name}_win.cpp)
    else()
      set(variant ${name}_posix.cpp)
    endif()
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${variant})
      target_sources(${target} PRIVATE ${variant})
    endif()
  endforeach()
endfunction()

# tovi_library(<name> <sources...>): a static library of the project's own
# code, with the repository root on the include path.
function(tovi_library name)
  add_library(${name} STATIC)
  tovi_platform_sources(${name} ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  target_link_libraries(${name} PRIVATE tovi_warnings)
endfunction()
