// The one translation unit that compiles stb_image and stb_image_write.
// Only the formats the BMP/TGA codec reads are compiled in: stb's other
// decoders are not hardened for hostile files, and libpng, libjpeg and
// giflib read those formats here.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_ONLY_PSD
#define STBI_ONLY_HDR
#define STBI_NO_STDIO
// Every buffer stb_image makes is charged to the decode's budget.
#define STBI_MALLOC(bytes) io::BudgetScope::allocate(bytes)
#define STBI_REALLOC(block, bytes) io::BudgetScope::reallocate(block, bytes)
#define STBI_FREE(block) io::BudgetScope::release(block)
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO

#include "imageio/BudgetScope.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#include <stb_image.h>
#include <stb_image_write.h>
#pragma GCC diagnostic pop
