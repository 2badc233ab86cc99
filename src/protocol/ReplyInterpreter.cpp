#include "protocol/Vocabulary.h"
#include "window/frmSerial.h"

// The device paces everything: each reply moves the connection or the transfer one step on.
void frmSerial::Com_Parser() {
    view.setText8Text(RxString);
    if (vocabulary::holdsReplyKeyword(RxString))
        ++RepliesUnderstood;
    const auto holds = [this](const char* keyword) { return RxString.find(keyword) != std::string::npos; };

    if (holds(vocabulary::kVersionReply)) {
        view.setTimer3Enabled(false);
        view.setLabel2Caption("READY");
        if (TransferRequested == 1 && TransferActive == 1)
            Command5_Click();
    } else if (holds(vocabulary::kErrorReply)) {
        view.setBarText("ERROR");
        view.setBarColor(colours::Red);
        VerifyMode = 0;
    } else if (holds(vocabulary::kPassEndReply)) {
        if (VerifyMode == 1) {
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
    } else if (holds(vocabulary::kFormatReply)) {
        view.setBarText("");
        view.setBarValue(0);
    } else if (holds(vocabulary::kAcceptedReply)) {
        Command5_Click();
    }
}
