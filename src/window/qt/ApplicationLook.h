#pragma once

// Style, font and name shared by the program, its screenshot and its tests, so that every
// caption fits the fixed design sizes the same way everywhere.
void applyApplicationLook();
