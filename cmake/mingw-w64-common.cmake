# Shared part of the mingw-w64 toolchain files: MINGW_TRIPLET names the
# cross compiler (Debian's g++-mingw-w64-*). Programs are linked statically,
# so they need no compiler runtime DLLs beside them (under Wine or on a PC).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${MINGW_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLET}-windres)

# Debian ships a win32-threads and a posix-threads flavour; the posix one has
# std::thread and std::mutex.
foreach(flavour posix win32)
  find_program(_corvix_mingw_cxx ${MINGW_TRIPLET}-g++-${flavour})
  if(_corvix_mingw_cxx)
    set(CMAKE_CXX_COMPILER ${_corvix_mingw_cxx})
    find_program(_corvix_mingw_cc ${MINGW_TRIPLET}-gcc-${flavour})
    if(_corvix_mingw_cc)
      set(CMAKE_C_COMPILER ${_corvix_mingw_cc})
    endif()
    break()
  endif()
endforeach()

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
