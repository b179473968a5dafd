// libfbclient keeps process-wide allocations (character set converters,
// big-number state of the authentication) until the process ends; the leak
// checker would report them after every run of this suite. Exported, so the
// sanitizer runtime finds it despite the hidden default visibility.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libfbclient.so\n"
         "leak:libtommath.so\n";
}
