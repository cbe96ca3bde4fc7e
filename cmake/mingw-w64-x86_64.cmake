# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix thread model,
# so std::thread and friends work), linked fully static: the .exe must start
# on a bare Windows with nothing but the system DLLs beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TOVI_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TOVI_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOVI_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TOVI_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${TOVI_MINGW_TRIPLET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${TOVI_MINGW_TRIPLET}-ranlib CACHE FILEPATH "")

# Windows 7 is the oldest target; without this MinGW assumes Windows 10 and
# newer APIs would slip in unnoticed.
set(CMAKE_C_FLAGS_INIT "-D_WIN32_WINNT=0x0601 -DWINVER=0x0601")
set(CMAKE_CXX_FLAGS_INIT "-D_WIN32_WINNT=0x0601 -DWINVER=0x0601")

# -static also pulls in winpthread statically; the two explicit flags keep the
# GCC runtime from being linked as a DLL should a library ask for it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Static libcurl, Jansson and GoogleTest made by scripts/mingw-deps. Its
# prefix can be moved with TOVI_MINGW_PREFIX (environment or cache variable).
if(NOT TOVI_MINGW_PREFIX)
  if(DEFINED ENV{TOVI_MINGW_PREFIX})
    set(TOVI_MINGW_PREFIX "$ENV{TOVI_MINGW_PREFIX}")
  else()
    set(TOVI_MINGW_PREFIX /var/cache/tovi-mingw/prefix)
  endif()
endif()
set(TOVI_MINGW_PREFIX "${TOVI_MINGW_PREFIX}" CACHE PATH "static MinGW dependencies")
# try_compile projects get the toolchain file again and need the prefix too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TOVI_MINGW_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${TOVI_MINGW_TRIPLET} ${TOVI_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Prefer the static archives when both kinds exist.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a .lib .dll.a)

# CTest runs the cross-built executables under Wine.
get_filename_component(_tovi_source_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${_tovi_source_root}/scripts/wine-run)
