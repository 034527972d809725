/* The implementations of the stb headers the label printer draws with:
 * images decoded from memory (PNG, JPEG, BMP, GIF; the choices are the
 * target's definitions), PNG written into memory, TrueType glyphs
 * rasterised. */
#define STB_IMAGE_IMPLEMENTATION
#include "stb_image.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include "stb_image_write.h"

/* stb_truetype raises to the power 1/3 only (a cube root of its signed
 * distance field code): cbrt answers that, and keeps the Linux libraries off
 * pow, whose current glibc version is newer than the oldest glibc they load
 * on. */
#include <math.h>
#define STBTT_sqrt(x) sqrt(x)
#define STBTT_pow(x, y) cbrt(x)
#define STB_TRUETYPE_IMPLEMENTATION
#include "stb_truetype.h"
