#pragma once

namespace krl {

// The main frame's commands: menu 128, accelerator table 128, the picture buttons and the
// commands other windows send to the frame. The numbers are the resource ids; the prompts and
// tool tips are the string-table entries of the same numbers.
enum class CommandId : int {
    Dial = 32827,
    Pickup = 32843,
    Disconnect = 32801,
    Hold = 32802,
    Page = 32859,
    Listen = 32791,
    Exit = 32809,
    Options = 32811,
    OptionsTransfer = 32808,
    OptionsCamera = 57348,
    OptionsRemote = 57347,
    OwnCard = 32840,
    Video = 4600,
    FileTransfer = 32803,
    Chat = 32804,
    AddressBook = 4900,
    HelpTopics = 57670,
    About = 32795,
    ShowCard = 29123,
    HideCard = 29122,
    AddToAddressBook = 29127,
    SendOwnCard = 29128,
    PageArrived = 29129,
    OpenLog = 32796,
    SetupWizard = 32854,
    Statistics = 32856,
    ReconnectCameraMode1 = 32857,
    ReconnectCameraMode0 = 32858,
    PlayVideoFile = 32860,
    Snapshot = 32862,
    // The settings sheet's Camera page: the local video window's Video Source and Video Format.
    CameraSource = 1121,
    CameraFormat = 1116,
};

}  // namespace krl
