// The emulator's --help text.
#include "BoardQuirks.h"
#include "SimOptions.h"

std::string simUsage() {
    return R"(Usage: bootdev-sim [options]
Emulates serial bootloader devices on a pseudo-terminal (or a real serial
device, or a network line) and prints the path that a host program opens, on one
line of standard output.

Line:
  --link PATH          also make PATH a symbolic link to the pseudo-terminal
                       (removed on exit)
  --lines N            serve N pseudo-terminals at once, each with its own
                       devices, and print their paths one a line; --link PATH
                       makes PATH.1 ... PATH.N, --dump PATH writes PATH.1 ...
                       (default 1)
  --faulty-line K      only the K-th line (counted from 1) has the faults, the
                       board faults, --reply-delay-ms and the noise; the others
                       are clean
  --device PATH        use this serial device instead of a pseudo-terminal
  --baud N             speed of --device (default 115200)
  --plain              no Modbus RTU framing: bare command and reply texts (one
                       device only)
  --line-rate BAUD     pace both directions as a line at BAUD, 10 bits a byte
                       (default: unpaced)
  --listen URL         serve tcp://HOST:PORT (raw) or rfc2217://HOST:PORT
                       (Telnet with COM port control: speed, framing, DTR and
                       RTS) instead of a pseudo-terminal, one host at a time;
                       HOST defaults to 127.0.0.1, PORT 0 takes a free one; the
                       address is printed instead of the path

Bench:
  --enter-on dtr|rts   the bootloader answers only after a reset pulse on that
                       line (asserted, then released; needs --listen
                       rfc2217://), for 3 s and 3 s more after each request
  --echo               echo every host byte back, as a two-wire RS-485 adapter
                       does
  --need-gap           lose what the host sends sooner than 3.5 characters (at
                       least 1.75 ms) after the last byte sent, as a board's
                       RS-485 transceiver turning round does (pseudo-terminal)
  --latency-ms N       hold bytes for the host until the adapter's latency
                       timer fires, every N ms

Devices:
  --address LIST       bus address, or a comma list such as 3,5,9 for one
                       device each (default 1); an address given twice puts two
                       devices there, which both answer its requests, one reply
                       after the other
  --device-version TEXT  version text of the reply "VER=TEXT" (default 1.0)
  --flash-start ADDR   first flash address (default 0x08000000)
  --flash-size SIZE    flash size, e.g. 262144, 0x40000 or 256K (default 256K)
  --erase-ms MS        erase time between "FORMAT" and its "OK" (default 30)
  --format-every-ms MS while erasing, say "FORMAT" again every MS
  --dump PATH          write the flash as a binary file on exit and on SIGUSR1
                       (unwritten bytes 0xFF); with several devices one file
                       each, PATH.<address> (a second device at an address
                       PATH.<address>.2)

Faults (replies are counted from 1; every N-th reply is hit):
  --reply-delay-ms MS  wait MS before every reply
  --drop-every N       leave out the reply
  --corrupt-every N    flip the case of the reply's first letter (the CRC no
                       longer matches)
  --glue-every N       hold the reply back and send it in one write with the
                       next reply (alone after 250 ms if none follows)
  --stray-every N      send stray zero bytes in front of the reply
  --stray-bytes K      how many stray bytes (default 3)
  --twice-every N      send the reply twice, back to back in one write
  --end-pass-after N   answer the N-th record of every pass with "DOWNLOAD",
                       ending the pass early
  --restart-at N       restart at the N-th record (counted over all passes):
                       answer it with the version reply and forget the pass
  --restart-on-error   restart after every refused record: the version reply
                       follows "ERROR"
  --babble-after N     answer nothing after the N-th reply, and send 8 bytes of
                       junk every 200 ms instead, as a babbling device or a
                       chattering bus does

Board faults in time (off at 0; every device has them, and --end-pass-after,
--restart-at and --restart-on-error, unless --faulty-device names one):
  --faulty-device K    only the K-th device of --address (counted from 1) has
                       the board faults, so that a good board and a faulty one
                       can share an address
  --refuse-record N    refuse the N-th record (counted over all passes) once,
                       with "ERROR"
  --erase-after-refusal-ms MS  answer a refused record by preparing its place
                       again: "FORMAT" after the "ERROR", then "OK" after MS;
                       the pass goes on and the record may come again
  --ack-twice-ms MS    answer every record with "OK" on receipt and with its
                       own answer MS later, once written; requests that arrive
                       meanwhile are lost, as to a board busy writing
  --probe-delay-ms MS  give the version reply to a probe ("BOOTi") after MS;
                       replies behind it wait their turn

)" + quirkUsage() +
           R"(
  --verbose            log requests, replies and faults on standard error, and
                       every change of the speed the host sets on the
                       pseudo-terminal
  -V, --version        print the emulator's version
  -h, --help           print this text
)";
}
