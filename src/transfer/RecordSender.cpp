#include <algorithm>
#include <stdexcept>

#include "protocol/Vocabulary.h"
#include "window/frmSerial.h"

// Sends the record after the one last sent and wraps after the last record of the file. The
// device's replies pace the calls; this never loops.
void frmSerial::Command5_Click() {
    const auto advance = [this] {
        if (RecordIndex >= kMaxRecords) {
            // Only past the table's end: stop at the first number beyond it, so that repeated
            // calls never climb into the 16-bit wrap and a negative slot.
            RecordIndex = kMaxRecords + 1;
            throw std::out_of_range("record number past 9000");
        }
        ++RecordIndex;
    };

    std::int16_t written = 0;
    if (VerifyMode == 1) {
        advance();
        std::string record = HexRecords[static_cast<std::size_t>(RecordIndex)];
        std::replace(record.begin(), record.end(), ':', '#');
        written = WriteCOM32(vocabulary::recordCommand(record));
    } else {
        view.setBarText("DOWNLOAD");
        advance();
        written = WriteCOM32(vocabulary::recordCommand(HexRecords[static_cast<std::size_t>(RecordIndex)]));
    }
    // Only a record on the wire waits for an answer: with the port closed nothing will come.
    if (written > 0)
        SetRecordAwaited(true);
    view.setBarValue(RecordIndex);
    if (RecordIndex == RecordCount)
        RecordIndex = 0;
}
