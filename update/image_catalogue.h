// Which firmware image the classified controller takes.
#pragma once

#include <windows.h>

// The resource ID of the image for the current UpdateTarget; 122 when no row matches.
// The ID may name an image that is not stored (150): the caller must look it up.
WORD selectImage();
