// The two marker strings every plug-in carries in its read-only data.
#if defined(__GNUC__) && defined(__ELF__)
#define TARN_MARKER_SECTION __attribute__((used, section(".rodata.tarn_markers")))
#else
#define TARN_MARKER_SECTION
#endif

TARN_MARKER_SECTION static const char plugin_markers[] = "MATLAB 5.1 native\0not inlined";

// Referenced so that no toolchain may drop the array as unused.
const char* tarn_plugin_markers()
{
    return plugin_markers;
}
