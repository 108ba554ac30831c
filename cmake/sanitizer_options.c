/* Defaults for the sanitizer builds. The leak checker stops the world with
   ptrace, which qemu's user-mode emulator (where 32-bit programs run on some
   machines) does not provide: with it on, every program hangs at exit. */
const char* __asan_default_options(void) {
  return "detect_leaks=0";
}
const char* __ubsan_default_options(void) {
  return "print_stacktrace=1:halt_on_error=1";
}
