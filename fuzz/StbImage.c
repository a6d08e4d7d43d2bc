// stb_image's implementation compiled from the system's header inside the fuzz build, with the
// sanitizers and coverage, so that JPEG and PNG decoding through it is seen and steered by the
// fuzzer. Its definitions take the place of the system library's in the fuzz programs only; the
// shipped library still links the system's libstb.
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
