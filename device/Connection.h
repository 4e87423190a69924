// Connect and Disconnect as far as the link is concerned: open the channel,
// greet the companion application, learn the handheld's screen size, say
// goodbye. The window side reaches the main window through MainWindowLink,
// which the main dialog implements (and tests fake).
#pragma once
#include <string>

class UsbChannel;

// What the device link needs of the main window. Calls may come from worker
// threads; an implementation carries them to the window's own thread.
class MainWindowLink {
public:
    virtual ~MainWindowLink() = default;
    // true: disconnected look (Connect on; Disconnect and Send off);
    // false: connected look (Connect off; Disconnect and Send on).
    virtual void SetConnectionButtons(bool disconnected) = 0;
    virtual void EnableButton(int id, bool enable) = 0;
    virtual void SetStatusText(const std::string& text) = 0;
    // A warning box owned by the main window, captioned "Quorvel Photo Manager".
    virtual void ShowWarning(const std::string& text) = 0;
    // Hands the handheld's screen size to the scrolling preview pane.
    virtual void SetScreenSize(int width, int height) = 0;
    // After a successful handshake: lay the window out for the screen, show
    // the preview panes, and refresh the preview when a picture is loaded.
    virtual void ShowConnectedPreview() = 0;
};

// "Connected" while the channel is open, otherwise "Disconnected".
std::string GetStatusText(UsbChannel& channel);

// Opens the channel, greets the handheld and reads its screen size. Reports
// failures to the user itself. True when connected and the size is known.
bool Handshake(UsbChannel& channel, MainWindowLink& window);

// The Connect button.
void ConnectToHandheld(UsbChannel& channel, MainWindowLink& window);

// The link side of Disconnect: the disconnected buttons, then "Bye" and the
// close when the channel is open. The caller refreshes the status text.
void DisconnectLink(UsbChannel& channel, MainWindowLink& window);
