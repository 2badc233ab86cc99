#pragma once

// What a run over the model boards is made of besides them: where its choices come from, the
// faults its boards have, and the records and image of a file.

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

// Where a model run's choices come from: a seeded generator, or the bytes of a fuzzer's input.
class Choices {
  public:
    virtual ~Choices() = default;
    // A whole number from `low` to `high`, both included.
    virtual int pick(int low, int high) = 0;
    // Whether the choices have run out (a fuzzer's input is used up).
    virtual bool spent() const { return false; }
    bool chance(int percent) { return pick(0, 99) < percent; }
};

// Choices read from bytes, one byte for a choice among up to 256 values, two for more; a fuzzer's
// input, or the bytes RandomChoices kept. Read front to back, unlike FuzzedDataProvider, so that a
// sequence of the property test is a seed of the fuzzer. Once spent, every choice is its lowest value.
class ByteChoices final : public Choices {
  public:
    ByteChoices(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}
    int pick(int low, int high) override;
    bool spent() const override { return next >= size; }

  private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t next = 0;
};

// Choices from a seeded generator; each one is also kept as the bytes ByteChoices reads back.
class RandomChoices final : public Choices {
  public:
    explicit RandomChoices(unsigned seed) : random(seed) {}
    int pick(int low, int high) override;
    std::string kept;

  private:
    std::mt19937 random;
};

// How the boards misbehave in one run; each rate is a percentage of the occasions.
struct Faults {
    enum class Twin : std::uint8_t { None, Alike, Refusing };
    int lateDuplicates = 0;  // answers sent a second time, 1-400 ms after the first
    int busyWriteMs = 0;     // a board writes up to this long after its "OK", deaf meanwhile
    Twin twin = Twin::None;  // a second board at address 1: alike, or one whose writes fail now and then
    bool slowProbes = false; // version replies 100-400 ms after the probe
    int noise = 0;           // answers followed by a few bytes of noise
    int restarts = 0;        // records answered by a restart
    int refusals = 0;        // records refused ("ERROR"); half of the refusals are taken up later
    int formats = 0;         // download records answered "FORMAT" first: the board erases its flash
    int baud = 115200;

    // Faults under which the boards can deceive any host: a reply may answer another frame.
    bool deceiving() const { return lateDuplicates > 0 || busyWriteMs > 0 || twin != Twin::None; }
    static Faults choose(Choices& choices);
    // The bytes from which `choose` reads back these faults.
    std::string asChoices() const;
    std::string describe() const;
};

// One record line of a file: its type, load address and data.
struct ModelRecord {
    int type = -1;
    int address = 0;
    std::vector<std::uint8_t> data;
};
ModelRecord parseRecord(const std::string& line);
// The bytes a file's data records load, by address.
std::map<int, std::uint8_t> imageOf(const std::vector<std::string>& lines);
