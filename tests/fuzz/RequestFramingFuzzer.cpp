// The emulator's request framing fed arbitrary bytes in arbitrary chunks, in both framings: every
// request it takes is made of bytes that came in, and none is taken twice.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "BusFraming.h"
#include "fuzz/FuzzRequire.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const bool modbus = input.ConsumeBool();
    RequestDecoder decoder(modbus);
    std::size_t received = 0;
    std::size_t taken = 0;
    while (input.remaining_bytes() > 0) {
        const std::string chunk = input.ConsumeRandomLengthString(1024);
        received += chunk.size();
        for (const BusRequest& request : decoder.feed(chunk)) {
            require(request.address.has_value() == modbus);
            require(request.text.find("\r\n") == std::string::npos || modbus);
            // Modbus RTU: address, text, CR LF, CRC; plain: text, CR LF.
            taken += request.text.size() + (modbus ? 5 : 2);
        }
        require(taken + decoder.discardedBytes() <= received);
    }
    return 0;
}
