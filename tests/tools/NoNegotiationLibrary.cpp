// A loadable library without the loader's negotiation entry, for the check's library probe.
#ifdef _WIN32
#define TARVEX_TEST_EXPORT __declspec(dllexport)
#else
#define TARVEX_TEST_EXPORT __attribute__((visibility("default")))
#endif

extern "C" TARVEX_TEST_EXPORT int tarvexCheckTestSymbol() {
    return 1;
}
