// FluidSynth loads SoundFont samples on OpenMP threads; libgomp is not built with
// ThreadSanitizer, which therefore cannot see its synchronisation.
extern "C" const char* __tsan_default_suppressions()
{
    return "called_from_lib:libgomp.so.1\n";
}
