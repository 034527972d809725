/* The entries into stb that survive a refused allocation (cmake/stb/stb.c):
 * each runs one stb call; when an allocation inside it is refused, every
 * block the call allocated is freed and the entry answers that memory ran
 * out instead of stb going on with a null pointer. Blocks an entry returns
 * are freed with orvik_stb_free (stbi_image_free and stbtt_FreeShape do the
 * same). */
#ifndef ORVIK_STB_H
#define ORVIK_STB_H

#include <stddef.h>

#include "stb_image.h"
#include "stb_truetype.h"

#ifdef __cplusplus
extern "C" {
#endif

/* What an entry answering a number answers when memory ran out. */
#define ORVIK_STB_NO_MEMORY (-1)

void* orvik_stb_malloc(size_t size);
void* orvik_stb_realloc(void* bytes, size_t size);
void orvik_stb_free(void* bytes);

/* For the tests: the n-th allocation stb makes on this thread from now on is
 * refused as if memory ran out; 0 refuses none. Answers how many allocations
 * the previous countdown still had to go: 0 when it fired or none was set. */
unsigned long orvik_stb_refuse_nth(unsigned long n);

/* stbi_write_png_to_mem: the PNG (length bytes), or null when it could not
 * be made (length 0). */
unsigned char* orvik_png_to_mem(const unsigned char* pixels, int stride, int width, int height,
                                int components, int* length);

/* stbi_info_from_memory: 1 known, 0 not an image of the kinds read, or
 * ORVIK_STB_NO_MEMORY. */
int orvik_image_info(const unsigned char* bytes, int length, int* width, int* height, int* channels);

/* stbi_load_from_memory: the pixels, or null, with out_of_memory telling
 * whether memory ran out rather than the image being unreadable. */
unsigned char* orvik_image_load(const unsigned char* bytes, int length, int* width, int* height,
                                int* channels, int desired, int* out_of_memory);

/* stbtt_GetGlyphShape: the count of vertices (0 for none), or
 * ORVIK_STB_NO_MEMORY with vertices null. */
int orvik_glyph_shape(const stbtt_fontinfo* font, int glyph, stbtt_vertex** vertices);

/* stbtt_Rasterize with one scale both ways, no vertical shift, inverted
 * (y down): 0, or ORVIK_STB_NO_MEMORY with the bitmap part drawn. */
int orvik_rasterize(stbtt__bitmap* bitmap, float flatness, stbtt_vertex* vertices, int count, float scale,
                    float shift_x, int x_offset, int y_offset);

#ifdef __cplusplus
}
#endif

#endif
