#include <algorithm>

#include "protocol/Vocabulary.h"
#include "window/frmSerial.h"

// Sends one record of the table as the machine names it: as loaded in the download pass, with
// every ":" marked "#" in the verify pass. The table keeps the line as it was.
bool frmSerial::sendRecord(Pass pass, int record) {
    if (record < 1 || record > RecordCount)
        return false; // the machine names only records of the file it was given
    std::string line = HexRecords[static_cast<std::size_t>(record)];
    if (pass == Pass::Verify)
        std::replace(line.begin(), line.end(), ':', '#');
    else
        view.setBarText("DOWNLOAD");
    const std::int16_t written = WriteCOM32(vocabulary::recordCommand(line));
    view.setBarValue(record);
    return Sent(written);
}
