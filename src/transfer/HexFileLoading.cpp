#include <exception>
#include <new>
#include <stdexcept>
#include <string>

#include "transfer/HexFileByName.h"
#include "transfer/LoadError.h"
#include "window/frmSerial.h"

void frmSerial::Command3_Click() {
    LoadHexFileAndSend(0);
}

void frmSerial::Command2_Click() {
    LoadHexFileAndSend(1);
}

void frmSerial::LoadHexFileAndSend(std::int16_t verifyMode) {
    // No second chain beside a record in flight.
    if (RecordAwaited == 1)
        return;
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
        // The dialog is modal but the poll runs on: a resumed chain may have sent meanwhile.
        if (RecordAwaited == 1)
            return;
        // Only now, with a file chosen: a cancelled dialog leaves a running pass as it was.
        TransferRequested = 1;
        PassEndedEarly = 0;
        RecordIndex = 0;
        view.setBarText("NO FILE");
        // The whole file is checked before anything is sent: a bad record found by the device
        // halfway through would leave it erased and half written.
        const IntelHexFile file =
            ReadFirmware ? ReadFirmware(view.dialogFileName()) : readHexFileByName(view.dialogFileName());
        // An empty file would send whatever an earlier, longer file left in slot 1.
        if (file.empty)
            throw LoadError(loaderrors::kNoRecords, "Input past end of file: the file holds no records");
        if (file.pastRecordLimit)
            throw LoadError(loaderrors::kSubscriptOutOfRange,
                            "Subscript out of range: " + file.fault->text());
        if (file.fault)
            throw LoadError(loaderrors::kInvalidFileFormat, file.fault->text());
        for (const std::string& line : file.lines) {
            HexLine = line;
            ++RecordIndex;
            HexRecords[static_cast<std::size_t>(RecordIndex)] = HexLine;
        }

        RecordCount = RecordIndex;
        view.setBarMax(RecordCount);
        view.setBarText("READY");
        RecordIndex = 0;
        view.enableCommand5();
        TransferActive = 1;
        VerifyMode = verifyMode;
        if (verifyMode == 1)
            view.setBarText("VERIFY");
        // During the connection wait the record would go to an address being probed: the
        // transfer starts with the version reply of the board that answers.
        if (!view.timer3Enabled())
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
