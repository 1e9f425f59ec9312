#pragma once

#include <array>

namespace krl {

// The link commands, numbered as their tags are in the string table (entry n is the tag of
// command n). The numbers are part of the protocol's vocabulary; do not renumber.
enum class LinkCommand : int {
    SendFile = 1,            // "<Send NF>"
    StopSending = 2,         // "<Stop Sending>"
    Size = 3,                // "<Size>", a field name inside an offer
    FileCheck = 4,           // "<FCRC>"
    Name = 5,                // "<Name>", a field name inside an offer
    Date = 6,                // "<Date>", a field name inside an offer
    Disconnect = 7,          // "<Disconnect>"
    DoNotSend = 8,           // "<Do Not Send>"
    OkForSend = 9,           // "<OK for Send>"
    OkForReceiving = 10,     // "<OK for Receiving>", never sent
    BlockOk = 11,            // "<CRCOK>"
    BlockNotOk = 12,         // "<CRCnotOK>"
    MyCard = 13,             // "<My Card>"
    MyId = 14,               // "<My ID>", never sent
    Hello = 15,              // "<HELLO>"
    SendClipboard = 16,      // "<Send CB>"
    SendCardPicture = 17,    // "<Send CF>"
    BlockCheck = 18,         // "<BCRC>", never sent
    MyVideoSettings = 19,    // "<MyVideoSettings>"
    VideoFrame = 20,         // "<VFrame>", never sent
    CloseYourVideo = 21,     // "<CloseYourVideo>"
    VideoOpen = 22,          // "<VideoOpen>"
    NoVideoOpen = 23,        // "<NoVideoOpen>"
    OkVideoOpen = 24,        // "<OkVideoOpen>"
    CloseMyVideo = 25,       // "<CloseMyVideo>"
    YourVideoSettings = 26,  // "<YourVideoSettings>"
    VideoPalette = 27,       // "<VIDEOPALETTE>", never sent
    VideoPause = 28,         // "<VIDEORPAUSE>"
    VideoResume = 29,        // "<VIDEORRESUME>"
    ChatString = 30,         // "<CHATSTRING>", never sent
    HoldCall = 31,           // "<HOLDCALL>"
    CancelHoldCall = 32,     // "<CANCELHOLDCALL>"
    CardReceived = 33,       // "<YOURBCRECEIVED>"
    Page = 34,               // "<GetMonkey>"
    HelloOk = 35,            // "<OKHello>"
    KeyFrameError = 36,      // "<ErrorKVFrame>"
};

inline constexpr int kLinkCommandCount = 36;

// The order in which a received command payload is tested against the tags; the first match
// decides. Commands not listed are recognised by no handler.
inline constexpr std::array<LinkCommand, 28> kDispatchOrder = {
    LinkCommand::StopSending,     LinkCommand::DoNotSend,
    LinkCommand::OkForSend,       LinkCommand::BlockOk,
    LinkCommand::BlockNotOk,      LinkCommand::FileCheck,
    LinkCommand::SendFile,        LinkCommand::SendCardPicture,
    LinkCommand::SendClipboard,   LinkCommand::MyCard,
    LinkCommand::Disconnect,      LinkCommand::VideoOpen,
    LinkCommand::OkVideoOpen,     LinkCommand::NoVideoOpen,
    LinkCommand::CloseYourVideo,  LinkCommand::CloseMyVideo,
    LinkCommand::MyVideoSettings, LinkCommand::YourVideoSettings,
    LinkCommand::VideoPalette,    LinkCommand::VideoPause,
    LinkCommand::VideoResume,     LinkCommand::HoldCall,
    LinkCommand::CancelHoldCall,  LinkCommand::Hello,
    LinkCommand::CardReceived,    LinkCommand::Page,
    LinkCommand::HelloOk,         LinkCommand::KeyFrameError,
};

}  // namespace krl
