/* The implementations of the stb headers the label printer draws with:
 * images decoded from memory (PNG, JPEG, BMP, GIF; the choices are the
 * target's definitions), PNG written into memory, TrueType glyphs
 * rasterised. */
#define STB_IMAGE_IMPLEMENTATION
#include "stb_image.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include "stb_image_write.h"

#define STB_TRUETYPE_IMPLEMENTATION
#include "stb_truetype.h"
