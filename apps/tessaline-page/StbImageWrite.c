/* The PNG writer of the renderer's frames. The desktop build links the system's stb library;
   the page compiles the same header's implementation. */
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
