// The Telnet side of an RFC 2217 line fed whatever a hostile server sends, in arbitrary chunks:
// the line's data never outgrows what came in, and the answers owed stay in proportion to it.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "fuzz/FuzzRequire.h"
#include "link/PortConfig.h"
#include "link/TelnetComPort.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    TelnetComPort telnet;
    std::size_t owed = telnet.start(parseLineSettings("115200,n,8,1")).size();
    std::size_t taken = 0;
    while (input.remaining_bytes() > 0) {
        const std::string chunk = input.ConsumeRandomLengthString(512);
        taken += chunk.size();
        require(telnet.receive(chunk).size() <= chunk.size());
        owed += telnet.takeReplies().size();
        // Each answer is owed to a state change the server asked for; the settings, about forty
        // bytes, follow each agreement to COM port control, which takes three bytes to ask.
        require(owed <= 16 * taken + 64);
        const std::string sent = telnet.encode(chunk);
        require(sent.size() <= 2 * chunk.size());
    }
    return 0;
}
