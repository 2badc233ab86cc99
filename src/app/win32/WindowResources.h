#pragma once

// Resource numbers shared by bootdevice.rc and the program.
#define kWindowIconResource 1
