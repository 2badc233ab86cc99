#include "protocol/ReplyKeyword.h"
#include "window/frmSerial.h"

// The device paces everything: each reply moves the connection or the transfer one step on.
void frmSerial::Com_Parser() {
    view.setText8Text(RxString);
    const ReplyKeyword keyword = decidingKeyword(RxString);
    Replies.add(keyword);

    switch (keyword) {
    case ReplyKeyword::Version:
        view.setTimer3Enabled(false);
        view.setLabel2Caption("READY");
        // Starts a transfer requested during the connection wait, or resumes one after "ERROR";
        // never beside a record still waiting for its answer.
        if (TransferRequested == 1 && TransferActive == 1 && RecordAwaited == 0)
            Command5_Click();
        break;
    case ReplyKeyword::Error:
        SetRecordAwaited(false);
        view.setBarText("ERROR");
        view.setBarColor(colours::Red);
        VerifyMode = 0;
        break;
    case ReplyKeyword::PassEnd:
        // A pass end outside a transfer answers no record of ours and ends nothing.
        if (!RecordsMayFlow())
            break;
        SetRecordAwaited(false);
        if (RecordIndex != 0) {
            // The sender wraps its index to 0 after a pass's last record: the device stopped
            // short of it, so what it holds is not the file.
            PassEndedEarly = 1;
            StopTransfer();
        } else if (VerifyMode == 1) {
            view.setBarText("END");
            view.setBarColor(colours::PureGreen);
            VerifyMode = 0;
            TransferActive = 0;
        } else {
            // The download pass has ended: the verify pass starts at record 1.
            view.setBarText("VERIFY");
            VerifyMode = 1;
            RecordIndex = 0;
            Command5_Click();
        }
        break;
    case ReplyKeyword::Format:
        view.setBarText("");
        view.setBarValue(0);
        // The device is erasing: the answer to the record comes once it has finished.
        RecordSentTime = std::chrono::steady_clock::now();
        break;
    case ReplyKeyword::Accepted:
        // Outside a transfer an "OK" answers a command ("Install ", "Set Addr"), not a record.
        if (RecordsMayFlow())
            Command5_Click();
        break;
    case ReplyKeyword::None:
        break;
    }
}

bool frmSerial::RecordsMayFlow() const {
    return TransferActive == 1 && !view.timer3Enabled();
}
