// Connection and handshake.
#include "device/Connection.h"

#include "app/Log.h"
#include "device/ScreenReply.h"
#include "device/UsbChannel.h"
#include "resources/resource.h"

std::string GetStatusText(UsbChannel& channel) {
    return channel.IsOpen() ? quorvel::kStatusConnected : quorvel::kStatusDisconnected;
}

bool Handshake(UsbChannel& channel, MainWindowLink& window) {
    for (const std::string& line : quorvel::HandshakeBannerLines()) WriteLogLine(line);

    if (!channel.OpenChannel()) {
        WriteLogLine(quorvel::kLogChannelNotOpen);
        if (channel.GetPasswordState() == PasswordRefused) {
            // Locked out for the rest of the run, without a word.
            for (int id : {IDC_CONNECT, IDC_DISCONNECT, IDC_OPEN_PICTURE, IDC_SEND_TO_DEVICE, IDC_IMAGE_SIZE})
                window.EnableButton(id, false);
            return false;
        }
        window.ShowWarning(quorvel::kStartCompanionText);
        return false;
    }
    WriteLogLine(quorvel::kLogChannelOpen);

    if (!channel.WriteString(quorvel::kGreetingText)) {
        // The channel is closed again, so that Connect can be tried anew
        // (the buttons still show the disconnected state).
        channel.CloseChannel();
        window.ShowWarning(quorvel::kStartCompanionText);
        return false;
    }
    WriteLogLine(quorvel::kLogGreetingSent);

    std::string answer;
    if (!channel.ReadString(answer)) {
        WriteLogLine(quorvel::kLogFailConnect);
        channel.CloseChannel();
        window.ShowWarning(quorvel::kStartCompanionText);
        return false;
    }
    WriteLogLine(quorvel::ReceivedLogLine(answer));
    quorvel::ScreenReply reply = quorvel::ParseScreenReply(answer);
    WriteLogLine(quorvel::ScreenSizeLogLine(reply));
    quorvel::ScreenSize size = quorvel::ResolveScreenSize(reply);
    window.SetScreenSize(size.width, size.height);
    return true;
}

void ConnectToHandheld(UsbChannel& channel, MainWindowLink& window) {
    if (channel.IsOpen()) {
        window.ShowWarning(quorvel::kAlreadyConnectedText);
        return;
    }
    if (!Handshake(channel, window)) return;
    window.ShowConnectedPreview();
    window.SetStatusText(GetStatusText(channel));
    window.SetConnectionButtons(false);
}

void DisconnectLink(UsbChannel& channel, MainWindowLink& window) {
    window.SetConnectionButtons(true);
    if (channel.IsOpen()) {
        channel.WriteString(quorvel::kGoodbyeText);
        channel.CloseChannel();
    }
}
