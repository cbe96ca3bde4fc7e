# The program: ToviDownloader.exe on Windows, tovi-downloader elsewhere.
add_executable(ToviDownloader
  app/application.cpp
  workflow/program_thread.cpp)
target_include_directories(ToviDownloader PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(ToviDownloader PRIVATE tovi_app tovi_browser tovi_warnings)
if(WIN32)
  enable_language(RC)
  target_sources(ToviDownloader PRIVATE app/main_win.cpp resources/tovi.rc)
  # The pictures and the icon are drawn at build time.
  set(pictures_dir ${CMAKE_BINARY_DIR}/resources)
  set(pictures)
  foreach(name 2000 2001 2002 2010 2018 2019 2100)
    list(APPEND pictures ${pictures_dir}/${name}.bmp)
  endforeach()
  list(APPEND pictures ${pictures_dir}/tovi.ico)
  add_custom_command(OUTPUT ${pictures}
    COMMAND ${PROJECT_SOURCE_DIR}/resources/make-pictures ${pictures_dir}
    DEPENDS ${PROJECT_SOURCE_DIR}/resources/make-pictures
    COMMENT "Drawing the window's pictures")
  set_source_files_properties(resources/tovi.rc PROPERTIES
    OBJECT_DEPENDS "${pictures};${PROJECT_SOURCE_DIR}/resources/tovi.manifest"
    INCLUDE_DIRECTORIES "${pictures_dir};${PROJECT_SOURCE_DIR}/resources")
  set_target_properties(ToviDownloader PROPERTIES WIN32_EXECUTABLE TRUE)
  target_link_libraries(ToviDownloader PRIVATE ole32 oleaut32 uuid comctl32 iphlpapi)
else()
  target_sources(ToviDownloader PRIVATE app/main_posix.cpp)
  set_target_properties(ToviDownloader PROPERTIES OUTPUT_NAME tovi-downloader)
endif()
