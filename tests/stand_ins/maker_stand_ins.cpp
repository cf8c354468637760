// Stand-ins for the maker's library, each wrong in one way.
#if defined(MAKER_EMPTY)
extern "C" __attribute__((visibility("default"))) const char* SoramichiHpURL() { return ""; }
#elif defined(MAKER_GARBAGE)
extern "C" __attribute__((visibility("default"))) const char* SoramichiHpURL() { return "\xff\xfe\x01 no address at all"; }
#elif defined(MAKER_NULL)
extern "C" __attribute__((visibility("default"))) const char* SoramichiHpURL() { return nullptr; }
#else
extern "C" __attribute__((visibility("default"))) const char* SomethingElse() { return "https://example.invalid/"; }
#endif
