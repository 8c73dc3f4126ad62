// Uploads and downloads are the frame's file tools now; this header stays for
// the files that include it.
#pragma once

#include "frame/toolkit_files.h"
