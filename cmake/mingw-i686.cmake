# Cross-compiles the Windows build with Debian's mingw-w64 for i686.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
# The win32 thread model, not posix: the posix compilers link the POSIX
# threads library into every binary, and with it thread-suspending,
# process-opening and exception-handler imports that a DLL loaded into a game
# must not carry (scanners take them for an injector's). Nothing built here
# uses std::thread or pthreads (the play window, which does, is Linux-only),
# so the harness's Windows programs lose nothing either.
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# A host calls into the module with the stack aligned to 4 bytes only: the
# compiler must not assume the 16 it would otherwise expect on entry.
set(CMAKE_C_FLAGS_INIT "-mincoming-stack-boundary=2")
set(CMAKE_CXX_FLAGS_INIT "-mincoming-stack-boundary=2")
# The C++ runtime and the compiler's support library go into each binary, so
# that nothing but the host library and system DLLs has to sit beside it.
# NO_SEH in every binary: g++ code unwinds with DWARF tables and registers no
# frame-based exception handler, so the flag is true for all of them (for the
# shipped DLL windows_hardening proves it on each build).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--no-seh")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -Wl,--no-seh")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -Wl,--no-seh")

# Tests of the Windows build run under Wine, in a 32-bit prefix of the build
# directory's own.
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run;${CMAKE_BINARY_DIR}/wineprefix")
