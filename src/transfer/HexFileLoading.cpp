#include <exception>
#include <new>
#include <stdexcept>
#include <string>

#include "link/Crc16.h"
#include "protocol/Vocabulary.h"
#include "transfer/HexFileReader.h"
#include "transfer/LoadError.h"
#include "window/frmSerial.h"

namespace {

// The longest line that still goes out as one frame: the address byte, the record command and the
// line must stay within what the CRC covers.
const std::size_t kMaxSendableLine = kCrc16MaxLength - 1 - vocabulary::recordCommand("").size();

} // namespace

void frmSerial::Command3_Click() {
    LoadHexFileAndSend(0);
}

void frmSerial::Command2_Click() {
    LoadHexFileAndSend(1);
}

void frmSerial::LoadHexFileAndSend(std::int16_t verifyMode) {
    // Set before the dialog, so that they stay set when the user cancels.
    VerifyMode = verifyMode;
    TransferRequested = 1;

    const auto showError = [this](int number, const std::string& description) {
        view.msgBox(description, FormView::Icon::Critical, "Error#" + std::to_string(number));
    };
    try {
        view.setDialogFilter("HEX files (*.hex)|*.hex");
        view.showOpenDialog();
        if (view.dialogFileName().empty() || view.dialogCancelError()) {
            view.msgBox("Cancel");
            return;
        }
        RecordIndex = 0;
        view.setBarText("NO FILE");
        {
            std::ifstream file = openHexFile(view.dialogFileName());
            HexItemReader reader(file);
            while (reader.next(HexLine)) {
                ++RecordIndex;
                if (RecordIndex > kMaxRecords)
                    throw std::out_of_range("more than 9000 records");
                // Refused here, where the user can be told which line: at sending time it
                // could only be dropped without a word.
                if (HexLine.size() > kMaxSendableLine)
                    throw LoadError(loaderrors::kRecordTooLong,
                                    "Line " + std::to_string(RecordIndex) + " is too long to send (" +
                                        std::to_string(HexLine.size()) + " characters, at most " +
                                        std::to_string(kMaxSendableLine) + ")");
                HexRecords[static_cast<std::size_t>(RecordIndex)] = HexLine;
            }
        }
        // An empty file would send whatever an earlier, longer file left in slot 1.
        if (RecordIndex == 0)
            throw LoadError(loaderrors::kNoRecords, "Input past end of file: the file holds no records");

        RecordCount = RecordIndex;
        view.setBarMax(RecordCount);
        view.setBarText("READY");
        RecordIndex = 0;
        view.enableCommand5();
        TransferActive = 1;
        if (verifyMode == 1) {
            view.setBarText("VERIFY");
            VerifyMode = 1;
            RecordIndex = 0;
        }
        Command5_Click();
    } catch (const LoadError& error) {
        showError(error.number(), error.what());
    } catch (const std::out_of_range&) {
        showError(loaderrors::kSubscriptOutOfRange, "Subscript out of range");
    } catch (const std::bad_alloc&) {
        showError(loaderrors::kOutOfMemory, "Out of memory");
    } catch (const std::exception&) {
        showError(loaderrors::kInternalError, "Internal error");
    }
}
