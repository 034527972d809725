/* The implementations of the stb headers the label printer draws with:
 * images decoded from memory (PNG, JPEG, BMP, GIF; the choices are the
 * target's definitions), PNG written into memory, TrueType glyphs
 * rasterised.
 *
 * stb's allocations go through the allocator below. Not every path of stb
 * checks what it allocates (the PNG writer's deflate and the rasteriser's
 * wide scanlines write through a null pointer), so the entries of
 * orvik_stb.h run stb inside a guard: an allocation refused there jumps
 * back to the entry (only stb's C frames lie between), every block stb
 * allocated in the call is freed, and the entry answers that memory ran
 * out. Outside a guard the allocator answers a refusal with null, as
 * malloc does. */
#include "orvik_stb.h"

#include <setjmp.h>
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

/* Each block carries a header ahead of the caller's bytes: its links in the
 * list of the guard that allocated it (owner), or no owner when it was
 * allocated outside a guard or has left one as a result. The union keeps
 * the caller's bytes aligned as malloc's are. */
typedef union orvik_stb_block {
  struct {
    union orvik_stb_block* prev;
    union orvik_stb_block* next;
    void* owner;
  } link;
  long double align_long_double;
  long long align_long_long;
  void* align_pointer;
} orvik_stb_block;

/* One guard a thread: the entries never nest, and stb never calls back. Kept
 * out of the entries' frames, so that nothing setjmp's caller holds changes
 * between setjmp and longjmp. */
typedef struct orvik_stb_guard {
  jmp_buf escape;
  orvik_stb_block head;
  int active;
} orvik_stb_guard;

static __thread orvik_stb_guard orvik_guard;

/* The countdown of orvik_stb_refuse_nth: allocations left before the refused
 * one, 0 when none is to be refused. */
static __thread unsigned long orvik_refuse_countdown;

unsigned long orvik_stb_refuse_nth(unsigned long n) {
  const unsigned long left = orvik_refuse_countdown;
  orvik_refuse_countdown = n;
  return left;
}

static int orvik_stb_refusing(void) {
  return orvik_refuse_countdown != 0 && --orvik_refuse_countdown == 0;
}

static void orvik_stb_link(orvik_stb_block* block, void* owner) {
  block->link.owner = owner;
  if (owner == NULL)
    return;
  block->link.prev = &orvik_guard.head;
  block->link.next = orvik_guard.head.link.next;
  orvik_guard.head.link.next->link.prev = block;
  orvik_guard.head.link.next = block;
}

static void orvik_stb_unlink(orvik_stb_block* block) {
  if (block->link.owner == NULL)
    return;
  block->link.prev->link.next = block->link.next;
  block->link.next->link.prev = block->link.prev;
  block->link.owner = NULL;
}

/* A refused allocation: inside a guard, back to its entry. */
static void* orvik_stb_refused(void) {
  if (orvik_guard.active)
    longjmp(orvik_guard.escape, 1);
  return NULL;
}

static void* orvik_stb_owner(void) {
  return orvik_guard.active ? &orvik_guard : NULL;
}

void* orvik_stb_malloc(size_t size) {
  orvik_stb_block* block = NULL;
  if (size <= SIZE_MAX - sizeof(orvik_stb_block) && !orvik_stb_refusing())
    block = (orvik_stb_block*)malloc(sizeof(orvik_stb_block) + size);
  if (block == NULL)
    return orvik_stb_refused();
  orvik_stb_link(block, orvik_stb_owner());
  return block + 1;
}

void* orvik_stb_realloc(void* bytes, size_t size) {
  orvik_stb_block *block, *grown = NULL;
  void* owner;
  if (bytes == NULL)
    return orvik_stb_malloc(size);
  block = (orvik_stb_block*)bytes - 1;
  owner = block->link.owner;
  orvik_stb_unlink(block);
  if (size <= SIZE_MAX - sizeof(orvik_stb_block) && !orvik_stb_refusing())
    grown = (orvik_stb_block*)realloc(block, sizeof(orvik_stb_block) + size);
  if (grown == NULL) {
    /* The block stays as it was, still the guard's to free. */
    orvik_stb_link(block, owner);
    return orvik_stb_refused();
  }
  orvik_stb_link(grown, owner);
  return grown + 1;
}

void orvik_stb_free(void* bytes) {
  orvik_stb_block* block;
  if (bytes == NULL)
    return;
  block = (orvik_stb_block*)bytes - 1;
  orvik_stb_unlink(block);
  free(block);
}

static void orvik_stb_enter(void) {
  orvik_guard.head.link.prev = &orvik_guard.head;
  orvik_guard.head.link.next = &orvik_guard.head;
  orvik_guard.head.link.owner = &orvik_guard;
  orvik_guard.active = 1;
}

/* Leaves the guard. The blocks still listed are the call's results when it
 * succeeded (they leave the guard) and everything it allocated when it did
 * not (freed). */
static void orvik_stb_leave(int succeeded) {
  orvik_guard.active = 0;
  while (orvik_guard.head.link.next != &orvik_guard.head) {
    orvik_stb_block* block = orvik_guard.head.link.next;
    orvik_stb_unlink(block);
    if (!succeeded)
      free(block);
  }
}

#define STBI_MALLOC(size) orvik_stb_malloc(size)
#define STBI_REALLOC(bytes, size) orvik_stb_realloc(bytes, size)
#define STBI_FREE(bytes) orvik_stb_free(bytes)
#define STB_IMAGE_IMPLEMENTATION
#include "stb_image.h"

#define STBIW_MALLOC(size) orvik_stb_malloc(size)
#define STBIW_REALLOC(bytes, size) orvik_stb_realloc(bytes, size)
#define STBIW_FREE(bytes) orvik_stb_free(bytes)
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include "stb_image_write.h"

/* stb_truetype raises to the power 1/3 only (a cube root of its signed
 * distance field code): cbrt answers that, and keeps the Linux libraries off
 * pow, whose current glibc version is newer than the oldest glibc they load
 * on. */
#include <math.h>
#define STBTT_sqrt(x) sqrt(x)
#define STBTT_pow(x, y) cbrt(x)
#define STBTT_malloc(size, context) ((void)(context), orvik_stb_malloc(size))
#define STBTT_free(bytes, context) ((void)(context), orvik_stb_free(bytes))
#define STB_TRUETYPE_IMPLEMENTATION
#include "stb_truetype.h"

/* The entries. Each result written through a pointer is written once stb has
 * returned, and the guard's state lives outside the frame, so the frames
 * hold nothing that changes between setjmp and longjmp. */

unsigned char* orvik_png_to_mem(const unsigned char* pixels, int stride, int width, int height,
                                int components, int* length) {
  unsigned char* png = NULL;
  int written = 0;
  *length = 0;
  orvik_stb_enter();
  if (setjmp(orvik_guard.escape) != 0) {
    orvik_stb_leave(0);
    return NULL;
  }
  png = stbi_write_png_to_mem(pixels, stride, width, height, components, &written);
  orvik_stb_leave(png != NULL);
  if (png != NULL)
    *length = written;
  return png;
}

int orvik_image_info(const unsigned char* bytes, int length, int* width, int* height, int* channels) {
  int known;
  orvik_stb_enter();
  if (setjmp(orvik_guard.escape) != 0) {
    orvik_stb_leave(0);
    return ORVIK_STB_NO_MEMORY;
  }
  known = stbi_info_from_memory(bytes, length, width, height, channels);
  orvik_stb_leave(1);
  return known;
}

unsigned char* orvik_image_load(const unsigned char* bytes, int length, int* width, int* height,
                                int* channels, int desired, int* out_of_memory) {
  unsigned char* pixels;
  *out_of_memory = 0;
  orvik_stb_enter();
  if (setjmp(orvik_guard.escape) != 0) {
    orvik_stb_leave(0);
    *out_of_memory = 1;
    return NULL;
  }
  pixels = stbi_load_from_memory(bytes, length, width, height, channels, desired);
  orvik_stb_leave(pixels != NULL);
  return pixels;
}

int orvik_glyph_shape(const stbtt_fontinfo* font, int glyph, stbtt_vertex** vertices) {
  int count;
  *vertices = NULL;
  orvik_stb_enter();
  if (setjmp(orvik_guard.escape) != 0) {
    orvik_stb_leave(0);
    *vertices = NULL; /* stb may have set it to a block freed above */
    return ORVIK_STB_NO_MEMORY;
  }
  count = stbtt_GetGlyphShape(font, glyph, vertices);
  orvik_stb_leave(1);
  return count;
}

int orvik_rasterize(stbtt__bitmap* bitmap, float flatness, stbtt_vertex* vertices, int count, float scale,
                    float shift_x, int x_offset, int y_offset) {
  orvik_stb_enter();
  if (setjmp(orvik_guard.escape) != 0) {
    orvik_stb_leave(0);
    return ORVIK_STB_NO_MEMORY;
  }
  stbtt_Rasterize(bitmap, flatness, vertices, count, scale, scale, shift_x, 0, x_offset, y_offset, 1, NULL);
  orvik_stb_leave(1);
  return 0;
}
