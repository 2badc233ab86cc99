#pragma once

#include <string>
#include <vector>

// The ports a --port value or BOOTFLASH_PORT names (`what` says which, for the message): one
// name or a comma list, blanks around each name left out. Each name comes back in the form the
// window's logic opens: a COM name as typed, a device path absolute (a relative one taken from
// the working folder, a bare name such as ttyUSB0 as /dev/ttyUSB0), a network address with its
// scheme in lower case and socket:// as tcp://. Throws UsageError naming the reason for a text
// that cannot name a port: empty, only blanks or commas, COM without a number, an unknown
// scheme, a bad network address, a name longer than the system allows.
std::vector<std::string> portList(const std::string& text, const std::string& what);
