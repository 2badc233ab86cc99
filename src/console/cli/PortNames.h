#pragma once

#include <string>
#include <vector>

// The ports the --port values or BOOTFLASH_PORT name (`what` says which, for the message): each
// text one name or a comma list, blanks around each name left out. Each name comes back in the form
// the window's logic opens: a COM name as typed, a device path absolute (a relative one taken from
// the working folder, a bare name such as ttyUSB0 as /dev/ttyUSB0), a network address with its
// scheme in lower case and socket:// as tcp://. Throws UsageError naming the reason for a text
// that cannot name a port (empty, only blanks or commas, COM without a number, an unknown scheme, a
// bad network address, a name longer than the system allows), and naming both texts for one port
// named twice: a device by any path or link to it, COMn and the device it stands for, a network
// line by its host and TCP port whatever the scheme.
std::vector<std::string> portList(const std::vector<std::string>& texts, const std::string& what);
