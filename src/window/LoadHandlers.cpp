#include <exception>
#include <new>
#include <stdexcept>
#include <string>

#include "link/NumberRule.h"
#include "transfer/HexFileByName.h"
#include "transfer/LoadError.h"
#include "window/frmSerial.h"

void frmSerial::Command3_Click() {
    LoadHexFileAndSend(Pass::Download);
}

void frmSerial::Command2_Click() {
    LoadHexFileAndSend(Pass::Verify);
}

void frmSerial::LoadHexFileAndSend(Pass pass) {
    NoteFramingSwitch();
    if (machine.handle(Event::LoadClicked) != Action::AllowDialog)
        return;
    const auto showError = [this](int number, const std::string& description) {
        machine.handle(Event::FileRefused);
        view.msgBox(description, FormView::Icon::Critical, "Error#" + std::to_string(number));
    };
    try {
        view.setDialogFilter("HEX files (*.hex)|*.hex");
        view.showOpenDialog();
        if (view.dialogFileName().empty() || view.dialogCancelError()) {
            machine.handle(Event::FileCancelled);
            return;
        }
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
        // The dialog is modal but the poll runs on: the machine decides with the state it is in now.
        NoteFramingSwitch();
        ChosenLines = file.lines;
        machine.fileChosen(pass, static_cast<int>(file.lines.size()), OriginOf(view.check1Checked()));
        CloseIfLostOnWrite();
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

void frmSerial::takeChosenFile(Pass pass) {
    std::int16_t lines = 0;
    for (const std::string& line : ChosenLines) {
        HexLine = line;
        ++lines;
        HexRecords[static_cast<std::size_t>(lines)] = HexLine;
    }
    RecordCount = lines;
    view.setBarMax(RecordCount);
    view.setBarText("READY");
    view.enableCommand5();
    if (pass == Pass::Verify)
        view.setBarText("VERIFY");
}

Origin frmSerial::OriginOf(bool framed) const {
    return {framed, framed ? DeviceAddress().value_or(0) : std::uint8_t{0}};
}

std::optional<std::uint8_t> frmSerial::DeviceAddress() const {
    try {
        return static_cast<std::uint8_t>(WholeNumber(view.text1Text(), 0, 255));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}
