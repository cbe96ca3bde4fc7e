# The program: ToviDownloader.exe on Windows, tovi-downloader elsewhere.
add_executable(ToviDownloader
  app/application.cpp
  workflow/program_thread.cpp)
target_include_directories(ToviDownloader PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(ToviDownloader PRIVATE tovi_app tovi_browser tovi_workflow tovi_ui
                                             tovi_warnings)
if(WIN32)
  enable_language(RC)
  target_sources(ToviDownloader PRIVATE app/main_win.cpp resources/tovi.rc)
  tovi_add_pictures(ToviDownloader)
  set_target_properties(ToviDownloader PROPERTIES WIN32_EXECUTABLE TRUE)
  target_link_libraries(ToviDownloader PRIVATE ole32 oleaut32 uuid comctl32 iphlpapi)
else()
  target_sources(ToviDownloader PRIVATE app/main_posix.cpp)
  target_link_libraries(ToviDownloader PRIVATE tovi_terminal)
  set_target_properties(ToviDownloader PROPERTIES OUTPUT_NAME tovi-downloader)
endif()
