# Cross-builds the Windows (x86-64) programs with MinGW-w64's POSIX-threads compiler, whose
# std::thread and std::mutex the tests and the port's notice thread use.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(BOOT_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${BOOT_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BOOT_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${BOOT_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${BOOT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything linked in, the C++ runtime and winpthread too: the programs run with no DLL beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Lets CTest run what the build made (gtest_discover_tests lists the tests by running the exe).
find_program(BOOT_WINE wine)
if(BOOT_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${BOOT_WINE})
endif()
