#pragma once

namespace krl {

// Where a call stands. The numbers are the ones the rest of the program has always used.
enum class ConnectionState : int {
    NotConnected = 0,  // port closed
    OpeningPort = 1,
    Initialising = 2,  // general and initialisation commands
    Listening = 3,
    Dialling = 4,
    Connected = 5,
    HangingUp = 6,
};

// What the status bar and the windows show.
enum class DisplayState : int {
    NotConnected = 0,
    Listening = 1,
    Connected = 2,
    Connecting = 3,
    Disconnecting = 4,
};

// What one pump reports.
enum class PumpResult : int {
    Ok = 0,
    ModemOff = -1,          // message 4160 shown, the connection is reset
    CarrierLost = -2,       // message 4170 shown, hang-up started
    CallMade = -3,          // the call has just been connected
    PeerDisconnected = -4,  // the peer sent "<Disconnect>"
    PeerSilent = -5,        // the peer never answered the greeting
};

DisplayState displayStateOf(ConnectionState state);
// The string-table entry of a display state's text ("Connected", "Listening......", ...).
int displayTextId(DisplayState state);

}  // namespace krl
