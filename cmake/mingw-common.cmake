# Cross build for Windows with mingw-w64 (posix thread model), everything linked statically.
# Included by the toolchain file of each target, which sets BRIMSTEAD_TARGET_TRIPLE.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER   ${BRIMSTEAD_TARGET_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BRIMSTEAD_TARGET_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${BRIMSTEAD_TARGET_TRIPLE}-windres)

# Target libraries cross-built by scripts/bootstrap.
if(NOT DEFINED BRIMSTEAD_CACHE)
  if(DEFINED ENV{BRIMSTEAD_CACHE})
    set(BRIMSTEAD_CACHE $ENV{BRIMSTEAD_CACHE})
  elseif(DEFINED ENV{XDG_CACHE_HOME})
    set(BRIMSTEAD_CACHE $ENV{XDG_CACHE_HOME}/brimstead)
  else()
    set(BRIMSTEAD_CACHE $ENV{HOME}/.cache/brimstead)
  endif()
endif()
set(BRIMSTEAD_TARGET_DEPS ${BRIMSTEAD_CACHE}/${BRIMSTEAD_TARGET_TRIPLE})

set(CMAKE_FIND_ROOT_PATH /usr/${BRIMSTEAD_TARGET_TRIPLE} ${BRIMSTEAD_TARGET_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
