#pragma once

// Style and font shared by the program, its screenshot and its tests, so that every caption fits
// the fixed design sizes the same way everywhere. It sets no application display name: some
// platforms append that to every window title that does not end with it, and a box titled
// "Error#62" must read just that.
void applyApplicationLook();
