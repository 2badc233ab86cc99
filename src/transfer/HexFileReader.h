#pragma once

#include <fstream>
#include <istream>
#include <string>

// Opens a HEX file for reading as bytes. Throws LoadError: "File not found" when nothing is there,
// "Path/File access error" when it cannot be opened or is not a regular file.
std::ifstream openHexFile(const std::string& path);

// Splits a text file into items: the text up to the next comma or line end. CR LF, LF and a lone
// CR each end a line, so no CR ever reaches a record whatever system wrote the file. Blanks and
// tabs around an item are dropped and empty items (blank lines) skipped: none belongs in a HEX file.
class HexItemReader {
  public:
    explicit HexItemReader(std::istream& in) : in(in) {}

    // The next item, false at the end of the file. Throws LoadError "Path/File access error"
    // when reading fails.
    bool next(std::string& item);

  private:
    std::istream& in;
};
